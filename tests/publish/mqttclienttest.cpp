#include "publish/mqttclient.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>

#include "publish/livepublisher.h"
#include "tests/kit/mosquittobroker.h"
#include "tests/kit/scratchfolder.h"

namespace {

constexpr int kWaitMs = 10000;

MqttSettings Local(int nPort)
{
    MqttSettings s;
    s.strHost = "127.0.0.1";
    s.nPort = nPort;
    return s;
}

// Waits (bounded, on real events) until one of the spy's emissions from
// `from` on matches.
bool WaitFor(QSignalSpy& spy, const std::function<bool(const QList<QVariant>&)>& match, qsizetype from = 0)
{
    for (qsizetype i = from;; ++i) {
        for (; i < spy.size(); ++i)
            if (match(spy.at(i)))
                return true;
        if (!spy.wait(kWaitMs))
            return false;
        --i;
    }
}

bool WaitStatus(QSignalSpy& spy, const QString& text, qsizetype from = 0)
{
    return WaitFor(spy, [&](const QList<QVariant>& a) { return a.at(1).toString() == text; }, from);
}

// A client subscribed to `topic`, collecting what arrives.
struct Subscriber {
    CMqttClient client;
    QSignalSpy status{&client, &CMqttClient::StatusChanged};
    QSignalSpy messages{&client, &CMqttClient::MessageReceived};

    bool Start(int nPort, const QString& id, const QString& topic)
    {
        QSignalSpy subscribed(&client, &CMqttClient::Subscribed);
        client.Start(Local(nPort), id, QString());
        if (!WaitStatus(status, CMqttClient::ConnectedText("127.0.0.1", nPort)))
            return false;
        const int nMid = client.Subscribe(topic, 1);
        return nMid >= 0 && WaitFor(subscribed, [&](const QList<QVariant>& a) { return a.at(0).toInt() == nMid; });
    }
    bool WaitMessage(const QString& topic, const QByteArray& payload)
    {
        return WaitFor(messages, [&](const QList<QVariant>& a) {
            return a.at(0).toString() == topic && a.at(1).toByteArray() == payload;
        });
    }
};

TEST(MqttClientTest, PublishesRetainedStateAndAcknowledgedRecordsToARealBroker)
{
    CMosquittoBroker broker;
    ASSERT_TRUE(broker.Start()) << broker.Log().toStdString();
    Subscriber sub;
    ASSERT_TRUE(sub.Start(broker.Port(), "sub", "km302/#"));

    CMqttClient client;
    QSignalSpy status(&client, &CMqttClient::StatusChanged);
    QSignalSpy published(&client, &CMqttClient::Published);
    client.Start(Local(broker.Port()), "km302-test", "km302/1234/availability");
    ASSERT_TRUE(WaitStatus(status, "Połączono z serwerem MQTT 127.0.0.1:" + QString::number(broker.Port())));
    EXPECT_TRUE(status.at(0).at(0).toBool());

    ASSERT_GE(client.Publish("km302/1234/state", "{\"s\":1}", 0, true), 0);
    const int nMid = client.Publish("km302/1234/record", "{\"r\":1}", 1, false);
    ASSERT_GE(nMid, 0);
    EXPECT_TRUE(WaitFor(published, [&](const QList<QVariant>& a) { return a.at(0).toInt() == nMid; }));
    // Only the acknowledged record is reported, not the QoS 0 state.
    EXPECT_EQ(published.size(), 1);
    EXPECT_TRUE(sub.WaitMessage("km302/1234/state", "{\"s\":1}"));
    EXPECT_TRUE(sub.WaitMessage("km302/1234/record", "{\"r\":1}"));

    // The state is retained: a subscriber that comes later still gets it.
    Subscriber late;
    ASSERT_TRUE(late.Start(broker.Port(), "late", "km302/1234/state"));
    EXPECT_TRUE(late.WaitMessage("km302/1234/state", "{\"s\":1}"));

    // Clients gone while their connecting thread still runs hand it their
    // connection; nothing is touched after it is freed (ASan in CI).
    for (int i = 0; i < 20; ++i) {
        CMqttClient gone;
        gone.Start(Local(broker.Port()), QString("gone%1").arg(i), "km302/1/availability");
    }
}

// The client going away without a goodbye (as a killed program does: the
// socket closes, no DISCONNECT) makes the broker send its last will.
TEST(MqttClientTest, ClientGoneWithoutGoodbyeLeavesOfflineAsItsLastWill)
{
    CMosquittoBroker broker;
    ASSERT_TRUE(broker.Start()) << broker.Log().toStdString();
    Subscriber sub;
    ASSERT_TRUE(sub.Start(broker.Port(), "sub", "km302/+/availability"));

    auto client = std::make_unique<CMqttClient>();
    QSignalSpy status(client.get(), &CMqttClient::StatusChanged);
    client->Start(Local(broker.Port()), "km302-will", "km302/1234/availability");
    ASSERT_TRUE(WaitStatus(status, CMqttClient::ConnectedText("127.0.0.1", broker.Port())));
    client->Publish("km302/1234/availability", "online", 1, true);
    ASSERT_TRUE(sub.WaitMessage("km302/1234/availability", "online"));
    client.reset();
    EXPECT_TRUE(sub.WaitMessage("km302/1234/availability", "offline"));
}

TEST(MqttClientTest, BrokerRestartedIsConnectedAgainAndTheBackOffStartsOver)
{
    CMosquittoBroker broker;
    ASSERT_TRUE(broker.Start()) << broker.Log().toStdString();
    CMqttClient client;
    QSignalSpy status(&client, &CMqttClient::StatusChanged);
    client.Start(Local(broker.Port()), "km302-again", QString());
    const QString connected = CMqttClient::ConnectedText("127.0.0.1", broker.Port());
    ASSERT_TRUE(WaitStatus(status, connected));
    broker.Stop();
    ASSERT_TRUE(WaitStatus(status, "Utracono połączenie z serwerem MQTT 127.0.0.1:" + QString::number(broker.Port())));
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(client.Publish("km302/1/record", "{}", 1, false), -1);
    const qsizetype mark = status.size();
    ASSERT_TRUE(broker.Restart());
    ASSERT_TRUE(WaitStatus(status, connected, mark));
    EXPECT_EQ(client.RetryDelayMs(), CMqttClient::kFirstRetryMs);
}

TEST(MqttClientTest, RefusedPasswordUnknownHostAndSilentBrokerSayWhyOnce)
{
    CMosquittoBroker broker;
    const QString passwords = broker.MakePasswordFile("hala", "dobre-haslo");
    ASSERT_FALSE(passwords.isEmpty());
    ASSERT_TRUE(broker.Start({"allow_anonymous false", "password_file " + passwords})) << broker.Log().toStdString();

    MqttSettings s = Local(broker.Port());
    s.strUser = "hala";
    s.strPassword = "zle-haslo";
    CMqttClient client;
    QSignalSpy status(&client, &CMqttClient::StatusChanged);
    client.Start(s, "km302-refused", QString());
    ASSERT_TRUE(WaitStatus(status, "Serwer MQTT odrzucił użytkownika lub hasło"));
    // Tried again after a second, then two: still one text, never the password.
    EXPECT_EQ(client.RetryDelayMs(), 2000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.RetryDelayMs() == 4000; }, kWaitMs));
    EXPECT_EQ(status.size(), 1);
    EXPECT_FALSE(status.at(0).at(1).toString().contains("zle-haslo"));

    s.strPassword = "dobre-haslo";
    client.Start(s, "km302-refused", QString());
    EXPECT_TRUE(WaitStatus(status, CMqttClient::ConnectedText("127.0.0.1", broker.Port())));

    // One short try of the resolver: the answer comes at once or within a second.
    qputenv("RES_OPTIONS", "timeout:1 attempts:1");
    s.strHost = "nie-ma-takiego-serwera.invalid";
    client.Start(s, "km302-nohost", QString());
    EXPECT_TRUE(WaitStatus(status, "Nie znaleziono serwera MQTT nie-ma-takiego-serwera.invalid"));

    // A listener that never answers (the kernel accepts, nobody reads).
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n), 0);
    client.SetConnectTimeoutMs(200);
    client.Start(Local(ntohs(a.sin_port)), "km302-silent", QString());
    EXPECT_TRUE(WaitStatus(status, "Serwer MQTT 127.0.0.1:" + QString::number(ntohs(a.sin_port)) + " nie odpowiada"));
    ::close(fd);
}

TEST(MqttClientTest, TlsTrustsOnlyTheGivenAuthorityAndTheNameInTheCertificate)
{
    CMosquittoBroker broker;
    ASSERT_TRUE(broker.MakeAuthority("good", "DNS:localhost"));
    ASSERT_TRUE(broker.MakeAuthority("other", "DNS:localhost"));
    ASSERT_TRUE(broker.Start(broker.TlsLines("good"))) << broker.Log().toStdString();

    MqttSettings s = Local(broker.Port());
    s.strHost = "localhost";
    s.bTls = 1;
    s.strCaFile = broker.AuthorityPath("good");
    CMqttClient client;
    QSignalSpy status(&client, &CMqttClient::StatusChanged);
    client.Start(s, "km302-tls", QString());
    ASSERT_TRUE(WaitStatus(status, CMqttClient::ConnectedText("localhost", broker.Port())));
    QSignalSpy published(&client, &CMqttClient::Published);
    const int nMid = client.Publish("km302/1/record", "{}", 1, false);
    EXPECT_TRUE(WaitFor(published, [&](const QList<QVariant>& a) { return a.at(0).toInt() == nMid; }));

    // Another authority, or the right one for a name not in the certificate.
    s.strCaFile = broker.AuthorityPath("other");
    client.Start(s, "km302-tls", QString());
    EXPECT_TRUE(WaitStatus(status, "Certyfikat serwera MQTT nie jest zaufany"));
    s.strCaFile = broker.AuthorityPath("good");
    s.strHost = "127.0.0.1";
    const qsizetype mark = status.size();
    client.Start(s, "km302-tls", QString());
    EXPECT_TRUE(WaitStatus(status, "Certyfikat serwera MQTT nie jest zaufany", mark));
}

// Refreshes handled in one pass of the event loop (frames that waited on the
// line) send only the last state; a refresh of a later pass is sent too.
TEST(LivePublisherTest, RefreshesOfOnePassSendOnlyTheLastState)
{
    CMosquittoBroker broker;
    ASSERT_TRUE(broker.Start()) << broker.Log().toStdString();
    CScratchFolder folder;
    qputenv("XDG_STATE_HOME", folder.Path("state").toLocal8Bit());
    Subscriber sub;
    ASSERT_TRUE(sub.Start(broker.Port(), "sub", "km302/1234/state"));
    LiveReading reading{true, 1234, 1000.5, false, false, false};
    CLivePublisher publisher(Local(broker.Port()), "burst", [&] { return reading; }, {});
    publisher.Start();
    publisher.OnRefresh();   // names the instrument: connects with its will
    const auto has = [](const char* value) {
        return [value](const QList<QVariant>& a) { return a.at(1).toByteArray().contains(value); };
    };
    ASSERT_TRUE(WaitFor(sub.messages, has("\"value\":1000.5")));

    for (const double dValue : {1001.1, 1001.2, 1001.3}) {
        reading.dValue = dValue;
        publisher.OnRefresh();
    }
    ASSERT_TRUE(WaitFor(sub.messages, has("\"value\":1001.3")));
    reading.dValue = 1001.4;
    publisher.OnRefresh();
    ASSERT_TRUE(WaitFor(sub.messages, has("\"value\":1001.4")));
    for (const QList<QVariant>& message : sub.messages) {
        EXPECT_FALSE(has("\"value\":1001.1")(message));
        EXPECT_FALSE(has("\"value\":1001.2")(message));
    }
    publisher.Stop();
    qunsetenv("XDG_STATE_HOME");
}

} // namespace
