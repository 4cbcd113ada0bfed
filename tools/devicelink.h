#pragma once
// CDeviceLink: a symbolic link at a fixed path that points at the simulator's
// current pseudo-terminal, the way /dev/serial/by-id names a USB adapter. A
// reader configured with the link finds the instrument again after it comes
// back under a new /dev/pts node.
//
// The link is replaced atomically (made under a temporary name, then renamed
// over the path), so a reader never sees a half-made link. An existing file
// that is not a symbolic link is never replaced. Owned by the simulator;
// single-threaded; the destructor removes the link.

#include <string>

class CDeviceLink {
public:
    // An empty path makes a link that does nothing.
    explicit CDeviceLink(std::string path);
    CDeviceLink(const CDeviceLink&) = delete;
    CDeviceLink& operator=(const CDeviceLink&) = delete;
    ~CDeviceLink();

    // Points the link at `target`. On failure returns false with the reason.
    bool PointAt(const std::string& target, std::string& error);

    // Removes the link if it still points where this object put it (someone
    // else's link or file at the path is left alone).
    void Remove();

private:
    std::string m_sPath;
    std::string m_sTarget; // empty while no link of ours is there
};
