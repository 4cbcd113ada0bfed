#pragma once
// Tells the service manager how the program is doing, by the notify-socket
// protocol of systemd: one datagram of "KEY=value" lines ("READY=1",
// "STATUS=...", "STOPPING=1") to the AF_UNIX socket named in NOTIFY_SOCKET (a
// path, or an abstract name when it starts with '@'). Without NOTIFY_SOCKET
// (not started by a unit of Type=notify) nothing is sent.
//
// Returns whether a datagram was sent. Any thread.

#include <QByteArray>

bool NotifyServiceManager(const QByteArray& state);
