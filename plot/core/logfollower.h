#pragma once
// CLogFollower: follows a log that is still being written.
//
// Poll reads only what was appended since the last call (a torn last record is
// left for the next call and completed then) and appends the new records to
// the series it produced (same series objects; a new serial number adds a
// series). A file that shrank (emptied or replaced) is read again from the
// start: the series are emptied and refilled. The kind of log (.vrd or text)
// is decided on the first bytes read and kept until the file shrinks.
//
// UI thread; no timers of its own: the window calls Poll (e.g. from a
// QFileSystemWatcher signal plus a 1 s timer).

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "plot/core/plotseries.h"

class CLogParser;

class CLogFollower {
public:
    explicit CLogFollower(QString path);
    ~CLogFollower();
    CLogFollower(CLogFollower&&) noexcept;
    CLogFollower& operator=(CLogFollower&&) noexcept;

    // Reads the whole file the first time. Returns true when any series grew or
    // was added (or was emptied because the file shrank). On a read failure
    // returns false and sets *error to a Polish message; the series are kept.
    bool Poll(std::vector<CPlotSeries>& series, QString* error = nullptr);
    // Records skipped as damaged so far.
    qint64 Damaged() const;
    // Asked between blocks of a long read: true stops it there (the rest is
    // read by the next Poll).
    void SetCancel(std::function<bool()> cancelled) { m_cancelled = std::move(cancelled); }

private:
    QString m_strPath;
    qint64 m_nOffset = 0;                 // bytes consumed
    QByteArray m_head;                    // the file's first bytes when last read
    std::unique_ptr<CLogParser> m_parser; // none until the kind is known
    std::function<bool()> m_cancelled;
};
