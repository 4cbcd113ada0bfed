#pragma once
// CSmallTmpfs: a 256 KiB tmpfs mounted on a folder for the lifetime of the
// object (the folder is made first), for tests of a full disk; mounting needs
// root. Detached when the object goes, whatever still has files open on it.
// Test thread only.

#include <QString>

#include <string>

class CSmallTmpfs {
public:
    explicit CSmallTmpfs(const QString& path);
    ~CSmallTmpfs();
    CSmallTmpfs(const CSmallTmpfs&) = delete;
    CSmallTmpfs& operator=(const CSmallTmpfs&) = delete;

    bool IsMounted() const { return m_bMounted; }
    // Why mounting failed.
    const char* Error() const;

    // Writes `path` (a file on the tmpfs) until the filesystem has no room
    // left; whether it ended on a full disk.
    static bool Fill(const QString& path);

private:
    std::string m_path;
    bool m_bMounted = false;
    int m_nError = 0;
};
