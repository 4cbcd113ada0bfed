#include "advisereceiver.h"

#include "framelog.h"
#include "latencysamples.h"

const QString CAdviseReceiver::kTopic = QStringLiteral("Ciśnienie#1234");
const QString CAdviseReceiver::kItem = QStringLiteral("Wynik");

CAdviseReceiver::CAdviseReceiver(CFrameLog& log, long long lastFrame) : m_log(log), m_nLastFrame(lastFrame) {}

void CAdviseReceiver::Advise(const QString& topic, const QString& item, const QString& text)
{
    const long long now = CLatencySamples::NowNs();
    bool ok = false;
    const long long residue = CFrameLog::ResidueOf(text, &ok);
    if (!ok || topic.compare(kTopic, Qt::CaseInsensitive) != 0 || item.compare(kItem, Qt::CaseInsensitive) != 0)
        return;
    const long long values = CFrameLog::kValues;
    const long long step = (residue - m_nLastFrame % values + values) % values;
    if (step == 0)
        return;
    m_nLastFrame += step;
    m_log.Received(m_nLastFrame, now);
}
