/* The line as the floors read it, in plain C for both the C and the C++
 * floor programs: the serial port opened and set up the way km302's serial
 * channel sets it up (raw, no translation of any byte, canonical mode with
 * the carriage return as an end of line and every other special character
 * off), so that a blocking read() or poll() wakes once a frame, and the
 * least decoding of a frame: its five digits. */
#ifndef KM302_BENCH_FLOORLINE_H
#define KM302_BENCH_FLOORLINE_H

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

/* The open descriptor, blocking; -1 when the port does not open. */
static inline int FloorOpenLine(const char* path)
{
    const int fd = open(path, O_RDONLY | O_NOCTTY | O_CLOEXEC);
    struct termios tio;
    if (fd < 0 || tcgetattr(fd, &tio) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, B300);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_lflag |= ICANON;
    const int specials[] = {VINTR, VQUIT, VERASE, VKILL, VEOF, VEOL2, VSTART, VSTOP, VSUSP,
                            VREPRINT, VDISCARD, VWERASE, VLNEXT};
    for (unsigned i = 0; i < sizeof specials / sizeof specials[0]; ++i)
        tio.c_cc[specials[i]] = _POSIX_VDISABLE;
    tio.c_cc[VEOL] = '\r';
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

/* The number a 12-byte frame carries (tenths of a hectopascal), from the
 * low nibbles of its digits; -1 when `line` is no frame. */
static inline long FloorFrameNumber(const char* line, long size)
{
    if (size != 12 || line[11] != '\r')
        return -1;
    long number = 0;
    for (int i = 6; i < 11; ++i)
        number = number * 10 + (line[i] & 0x0F) % 10;
    return number;
}

#endif
