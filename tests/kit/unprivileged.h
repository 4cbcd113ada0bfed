#pragma once
// Runs a piece of a test as an ordinary user, the way users run the program.
// CI runs as root, and root ignores file permissions and the exclusive flag
// of terminals; a test whose outcome depends on them runs its body here.
//
// RunUnprivileged forks; the child drops to the user "nobody" (uid and gid
// 65534, no supplementary groups) when this process is root, runs `body` and
// exits with what it returned, without running destructors or atexit
// handlers. The child must not touch Qt's event loop or widgets; plain
// files, sockets, terminals and threads of its own are fine. Returns the
// child's exit status, 128 + signal when a signal ended it, or -1 when the
// fork or the drop failed. A body that has not ended after `timeoutMs` is
// killed.
//
// GiveToUnprivileged makes a path (and, for a folder, everything below it)
// owned by that user, so a folder made by the test is the user's own.

#include <functional>
#include <string>
#include <sys/types.h>

constexpr uid_t kUnprivilegedUid = 65534;
constexpr gid_t kUnprivilegedGid = 65534;

int RunUnprivileged(const std::function<int()>& body, int timeoutMs = 20000);
bool GiveToUnprivileged(const std::string& path);
