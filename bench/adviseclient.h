#pragma once
// CAdviseClient: the spreadsheet with a hot link: a thread with its own bus
// connection and event loop that holds a hot link on "Wynik" while it runs
// and stamps every advise in the frame log. Made, begun and stopped on one
// thread (the benchmark's); the log outlives it.

#include <QThread>

#include <future>

class CFrameLog;

class CAdviseClient : public QThread {
public:
    // lastFrame: the frame the program shows when the link starts.
    CAdviseClient(CFrameLog& log, long long lastFrame);
    ~CAdviseClient() override;
    CAdviseClient(const CAdviseClient&) = delete;
    CAdviseClient& operator=(const CAdviseClient&) = delete;

    // Starts the thread; true once the link holds.
    bool Begin();
    void Stop();

protected:
    void run() override;

private:
    CFrameLog& m_log;
    long long m_nLastFrame;
    std::promise<bool> m_linked;
};
