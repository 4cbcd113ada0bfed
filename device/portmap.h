#pragma once
// CPortMap: turns a port number COMn (1..256, as the settings and the port
// dialog know it) into a device path, and gives numbers to the devices that
// enumeration finds:
//   1. an entry COMn=path of the settings section "PORTS" wins (any path: a
//      /dev/serial/by-id link, a pseudo-terminal, a symlink made by socat);
//   2. /dev/ttyS<k> is COM(k+1);
//   3. every other serial device (ttyUSB, ttyACM, rfcomm, ...) gets the lowest
//      free number from COM33 up, remembered as an entry under its stable
//      /dev/serial/by-id path when it has one, so that a replugged adapter keeps
//      its number.
// A path the user names in the port dialog (a socat or simulator link, a
// serial server's terminal) is entered the same way: the lowest free number
// from COM33 up, kept with the other entries.
// One process-wide map; the application loads the entries from the settings at
// start-up and writes them back at exit. Thread-safe: the port list is built on
// a worker thread while the user-interface thread may open a port.

#include <QString>

#include <map>
#include <mutex>

class CPortMap {
public:
    static constexpr int kMaxPort = 256;
    static constexpr int kFirstAllotted = 33;

    static CPortMap& Instance();

    QString PathFor(int portNr) const;

    // The number of a device that enumeration found at `systemLocation`
    // (/dev/ttyUSB0), with `stablePath` its /dev/serial/by-id link or empty.
    // 0 when every number from 33 to 256 is taken.
    int NumberForDevice(const QString& systemLocation, const QString& stablePath);

    // The number of a device path the user gave: the entry that already names
    // it (or its target), COM(k+1) for /dev/ttyS<k>, else the lowest free
    // number from 33 up, entered for it. 0 for an empty path or when every number from 33 to 256 is taken.
    int NumberForPath(const QString& path);

    std::map<int, QString> Entries() const;
    void SetEntries(const std::map<int, QString>& entries);
    void SetEntry(int portNr, const QString& path);

private:
    int FindEntry(const QString& systemLocation, const QString& stablePath) const;
    int AllotNumber(const QString& path);

    mutable std::mutex m_lock;
    std::map<int, QString> m_entries;
};
