#include "adviseclient.h"

#include <chrono>
#include <thread>

#include "advisereceiver.h"
#include "tests/kit/busclient.h"
#include "framelog.h"

namespace {

using namespace std::chrono_literals;

// The service exists and serves the last frame's value: the link's first
// advise then repeats a known frame.
bool ShowsFrame(CBusClient& client, long long frame)
{
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < end) {
        const QDBusMessage reply =
            client.Ask(QStringLiteral("Request"), CAdviseReceiver::kTopic, CAdviseReceiver::kItem);
        bool ok = false;
        if (reply.type() == QDBusMessage::ReplyMessage
            && CFrameLog::ResidueOf(reply.arguments().value(0).toString(), &ok) == frame % CFrameLog::kValues
            && ok)
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

} // namespace

CAdviseClient::CAdviseClient(CFrameLog& log, long long lastFrame) : m_log(log), m_nLastFrame(lastFrame) {}

CAdviseClient::~CAdviseClient()
{
    Stop();
}

bool CAdviseClient::Begin()
{
    std::future<bool> linked = m_linked.get_future();
    start();
    return linked.wait_for(15s) == std::future_status::ready && linked.get();
}

void CAdviseClient::Stop()
{
    quit();
    wait();
}

void CAdviseClient::run()
{
    CBusClient client(QString(), CBusClient::Signals::Ignored);
    CAdviseReceiver receiver(m_log, m_nLastFrame);
    const bool linked = client.IsConnected() && ShowsFrame(client, m_nLastFrame)
        && client.Connection().connect(QString(), CBusClient::kPath, CBusClient::kInterface,
                                       QStringLiteral("Advise"), &receiver,
                                       SLOT(Advise(QString, QString, QString)))
        && client.Ask(QStringLiteral("AdviseStart"), CAdviseReceiver::kTopic, CAdviseReceiver::kItem)
               .arguments()
               .value(0)
               .toBool();
    m_linked.set_value(linked);
    if (linked)
        exec();
}
