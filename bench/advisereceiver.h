#pragma once
// CAdviseReceiver: matches each Advise of "Wynik" to the frame that caused it
// and stamps its receipt in the frame log. Advises come in frame order; one
// whose frame is the last matched (the answer to AdviseStart, a
// no-communication refresh) is no new frame. Lives on the advise client's
// thread; the log outlives it.

#include <QObject>
#include <QString>

class CFrameLog;

class CAdviseReceiver : public QObject {
    Q_OBJECT
public:
    static const QString kTopic;
    static const QString kItem;

    // lastFrame: the frame the program shows when the link starts.
    CAdviseReceiver(CFrameLog& log, long long lastFrame);

public Q_SLOTS:
    void Advise(const QString& topic, const QString& item, const QString& text);

private:
    CFrameLog& m_log;
    long long m_nLastFrame;
};
