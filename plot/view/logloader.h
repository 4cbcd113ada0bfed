#pragma once
// CLogLoader: reads one log in a worker thread so that the window stays
// responsive while a large file loads.
//
// Start() begins the read; Progress (0..100) is emitted now and then and
// Loaded once, both on the thread that owns the loader (the user-interface
// thread). With `follow` the file is read by a CLogFollower, which then
// goes with the result and goes on reading what is appended (a compressed
// file is read plainly: it is a rotated log, no longer written); its first
// read reports no fraction (Progress -1: busy). Destroying the loader (the
// window closed) stops either read at its next block and waits for the
// worker to end.
//
// Owned by the window; user-interface thread only.

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

#include "plot/core/logfollower.h"
#include "plot/core/plotseries.h"

class QThread;

struct LoadedLog {
    QString strPath;
    std::vector<CPlotSeries> series;
    std::unique_ptr<CLogFollower> follower;   // only with `follow`
    qint64 nDamaged = 0;
    QString strError;                         // Polish; series is empty then
};

class CLogLoader : public QObject {
    Q_OBJECT
public:
    explicit CLogLoader(QObject* parent = nullptr);
    ~CLogLoader() override;
    void Start(const QString& path, bool follow);
    // Blocks until the worker has ended and Loaded has been emitted (tests,
    // the export without a window).
    void Wait();
    bool IsDone() const { return m_bDone; }
    // The result, once Loaded has been emitted; moved out by the receiver.
    LoadedLog& Result() { return m_result; }

signals:
    void Progress(int percent);
    void Loaded();

private:
    void Finish();

    QThread* m_thread = nullptr;
    std::shared_ptr<std::atomic<bool>> m_cancel = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<std::atomic<int>> m_percent = std::make_shared<std::atomic<int>>(0);
    LoadedLog m_result;
    bool m_bDone = false;
};
