/* The floor for km302's recording: the least program that does what
 * `km302 --headless` with both logs does. It reads the line set up as km302
 * sets it up (woken once a frame), keeps the last frame's value and, once a
 * second, appends a record to a text log and one to a binary log, each put
 * on disk (fdatasync) before the next, as km302's two logs are. Nothing
 * else: no decoding beyond the digits, no bus, no settings, no timers but
 * the one second. A stop signal ends it.
 *
 *   km302_recorderfloor <serial port path> <text log> <binary log>
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "floorline.h"

/* One binary record: the time and the value in tenths of a hectopascal
 * (-1: no frame yet). */
struct FloorRecord {
    int64_t seconds;
    int32_t number;
    int32_t reserved;
};

static int Append(int fd, const void* bytes, size_t size)
{
    return write(fd, bytes, size) == (ssize_t)size && fdatasync(fd) == 0;
}

static int Record(int text, int binary, long number)
{
    const time_t now = time(NULL);
    struct tm local;
    char line[64];
    size_t size = strftime(line, sizeof line, "%Y-%m-%d %H:%M:%S", localtime_r(&now, &local));
    if (number < 0)
        size += (size_t)snprintf(line + size, sizeof line - size, "\t---\r\n");
    else
        size += (size_t)snprintf(line + size, sizeof line - size, "\t%ld.%ld\r\n", number / 10, number % 10);
    struct FloorRecord record = {(int64_t)now, (int32_t)number, 0};
    return Append(text, line, size) && Append(binary, &record, sizeof record);
}

int main(int argc, char** argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: km302_recorderfloor <serial port> <text log> <binary log>\n");
        return 2;
    }
    const int port = FloorOpenLine(argv[1]);
    const int text = open(argv[2], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int binary = open(argv[3], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (port < 0 || text < 0 || binary < 0) {
        fprintf(stderr, "km302_recorderfloor: cannot open the port or a log\n");
        return 1;
    }
    long number = -1;
    struct timespec next;
    clock_gettime(CLOCK_MONOTONIC, &next);
    next.tv_sec += 1;
    for (;;) {
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        long long left = (long long)(next.tv_sec - now.tv_sec) * 1000000000LL + (next.tv_nsec - now.tv_nsec);
        if (left <= 0) {
            if (!Record(text, binary, number)) {
                fprintf(stderr, "km302_recorderfloor: cannot write a record: %s\n", strerror(errno));
                return 1;
            }
            next.tv_sec += 1;
            continue;
        }
        const struct timespec timeout = {(time_t)(left / 1000000000LL), (long)(left % 1000000000LL)};
        struct pollfd ready = {port, POLLIN, 0};
        const int n = ppoll(&ready, 1, &timeout, NULL);
        if (n < 0 && errno != EINTR)
            return 1;
        if (n > 0) {
            char buffer[4096];
            const ssize_t got = read(port, buffer, sizeof buffer);
            if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN))
                return 0; /* the line hung up */
            const long value = FloorFrameNumber(buffer, (long)got);
            if (value >= 0)
                number = value;
        }
    }
}
