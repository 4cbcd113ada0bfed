#include "plot/view/logloader.h"

#include <QThread>

#include "plot/core/logreader.h"

CLogLoader::CLogLoader(QObject* parent) : QObject(parent) {}

CLogLoader::~CLogLoader()
{
    m_cancel->store(true);
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void CLogLoader::Start(const QString& path, bool follow)
{
    m_result = LoadedLog{};
    m_result.strPath = path;
    m_thread = QThread::create([this, path, follow] {
        auto cancel = m_cancel;
        // A compressed log is a rotated one: no longer written, read whole.
        if (follow && !CLogReader::IsCompressed(path)) {
            auto follower = std::make_unique<CLogFollower>(path);
            follower->SetCancel([cancel] { return cancel->load(); });
            follower->Poll(m_result.series, &m_result.strError);
            follower->SetCancel({});
            if (m_result.strError.isEmpty())
                m_result.follower = std::move(follower);
            return;
        }
        auto percent = m_percent;
        LogReadResult r = CLogReader::Read(path, [this, cancel, percent](double fraction) {
            const int now = int(fraction * 100);
            // Only a change is posted: a progress call per block would flood
            // the event queue of the user-interface thread.
            if (percent->exchange(now) != now)
                QMetaObject::invokeMethod(this, [this, now] { emit Progress(now); },
                                          Qt::QueuedConnection);
            return !cancel->load();
        });
        m_result.series = std::move(r.series);
        m_result.nDamaged = r.nDamaged;
        m_result.strError = r.strError;
    });
    connect(m_thread, &QThread::finished, this, &CLogLoader::Finish, Qt::QueuedConnection);
    emit Progress(follow ? -1 : 0);
    m_thread->start();
}

void CLogLoader::Wait()
{
    if (m_thread)
        m_thread->wait();
    Finish();
}

void CLogLoader::Finish()
{
    if (m_bDone || !m_thread || !m_thread->isFinished())
        return;
    m_bDone = true;
    emit Loaded();
}
