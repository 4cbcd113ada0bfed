// The DDE server on a real session bus, driven by clients on connections of
// their own: when the name exists, what the interface answers, hot links, and
// what bad clients get.

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusVariant>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

#include "dde/ddebustransport.h"
#include "dde/ddeserver.h"
#include "tests/kit/busclient.h"
#include "tests/dde/qtprinters.h"
#include "meter/displaystate.h"

namespace {

const QString kName = QStringLiteral("pl.km302.KM302");
const QString kTopic = QStringLiteral("Ciśnienie#1234");
const QString kNotServed = QStringLiteral("pl.km302.KM302.Error.NotServed");

// Puts an environment variable back as it was.
class CEnvironmentGuard {
public:
    explicit CEnvironmentGuard(const char* name) : m_name(name)
    {
        if (qEnvironmentVariableIsSet(name))
            m_value = qgetenv(name);
    }
    ~CEnvironmentGuard()
    {
        if (m_value)
            qputenv(m_name, *m_value);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<QByteArray> m_value;
};

class DdeBusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            GTEST_SKIP() << "no D-Bus session bus: run the tests under dbus-run-session";
        m_display.SetUnits(5, 5, true);
        m_display.SetValue(1013.25);
        m_server.m_pDisplay = &m_display;
    }

    void TearDown() override { m_server.Unregister(); }

    void RegisterAs1234() { ASSERT_NE(m_server.Register(1234), 0); }

    static QString Text(const QDBusMessage& reply)
    {
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply.arguments().value(0).toString();
    }

    static bool Bool(const QDBusMessage& reply)
    {
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply.arguments().value(0).toBool();
    }

    // The items of the Advise signals a client has received, in order.
    static QStringList AdvisedItems(const CBusClient& client)
    {
        QStringList items;
        for (const CBusClient::Advise& a : client.m_advises)
            items << a.item;
        return items;
    }

    CDisplayState m_display;
    CDdeServer m_server{std::make_unique<CDdeBusTransport>()};
    CBusClient m_client;
};

TEST_F(DdeBusTest, NameExistsOnlyWhileRegistered)
{
    EXPECT_TRUE(m_client.NameOwner(kName).isEmpty());
    RegisterAs1234();
    EXPECT_FALSE(m_client.NameOwner(kName).isEmpty());
    EXPECT_EQ(Text(m_client.Call("Request", {kTopic, "Status"})), "Pomiar OK");

    EXPECT_EQ(m_server.Unregister(), 1);
    EXPECT_TRUE(m_client.NameOwner(kName).isEmpty());
    EXPECT_EQ(m_client.Call("Topics").type(), QDBusMessage::ErrorMessage);

    ASSERT_NE(m_server.Register(77), 0);
    EXPECT_FALSE(m_client.NameOwner(kName).isEmpty());
    EXPECT_EQ(m_client.Call("Topics").arguments().value(0).toStringList(),
              QStringList({"Ciśnienie#77"}));
}

TEST_F(DdeBusTest, APlainNameHeldElsewhereIsWaitedForAndTakenWhenFreed)
{
    CBusClient other;
    ASSERT_TRUE(other.OwnName(kName));
    EXPECT_EQ(m_server.Register(1234), CDdeServer::kRegistered);
    EXPECT_EQ(m_client.NameOwner(kName), other.UniqueName());

    ASSERT_TRUE(other.ReleaseName(kName));
    EXPECT_EQ(m_client.NameOwner(kName), m_client.NameOwner(kName + ".SN1234"));
    EXPECT_EQ(Text(m_client.Call("Request", {kTopic, "Wynik"})), "1013.2");
}

TEST_F(DdeBusTest, TwoInstrumentsServeSideBySideAndTheSecondTakesThePlainNameAfterTheFirst)
{
    CDdeServer second{std::make_unique<CDdeBusTransport>()};
    second.m_pDisplay = &m_display;
    EXPECT_EQ(m_server.Register(1234), CDdeServer::kRegistered);
    EXPECT_EQ(second.Register(5678), CDdeServer::kRegistered);
    const QString first = m_client.NameOwner(kName + ".SN1234");
    const QString other = m_client.NameOwner(kName + ".SN5678");
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(other.isEmpty());
    EXPECT_NE(first, other);
    EXPECT_EQ(m_client.NameOwner(kName), first);
    // Each instrument's own name reaches its own topic.
    const QDBusMessage ask = QDBusMessage::createMethodCall(kName + ".SN5678", CBusClient::kPath,
                                                            CBusClient::kInterface, "Topics");
    EXPECT_EQ(m_client.Send(ask).arguments().value(0).toStringList(), QStringList({"Ciśnienie#5678"}));

    m_server.Unregister();
    EXPECT_EQ(m_client.NameOwner(kName), other);
    EXPECT_TRUE(m_client.NameOwner(kName + ".SN1234").isEmpty());
    EXPECT_EQ(m_client.Call("Topics").arguments().value(0).toStringList(), QStringList({"Ciśnienie#5678"}));
    // The first comes back behind the second.
    EXPECT_EQ(m_server.Register(1234), CDdeServer::kRegistered);
    EXPECT_EQ(m_client.NameOwner(kName), other);
    second.Unregister();
    EXPECT_EQ(m_client.NameOwner(kName), m_client.NameOwner(kName + ".SN1234"));
}

TEST_F(DdeBusTest, TheInstrumentsOwnNameHeldElsewhereIsAConflictAndTakenWhenFreed)
{
    CBusClient other;
    ASSERT_TRUE(other.OwnName(kName + ".SN1234"));
    EXPECT_EQ(m_server.Register(1234), CDdeServer::kOwnNameHeldElsewhere);
    EXPECT_EQ(m_client.NameOwner(kName + ".SN1234"), other.UniqueName());
    const QString server = m_client.NameOwner(kName);
    ASSERT_FALSE(server.isEmpty());

    ASSERT_TRUE(other.ReleaseName(kName + ".SN1234"));
    EXPECT_EQ(m_client.NameOwner(kName + ".SN1234"), server);
}

TEST_F(DdeBusTest, RegisterFailsWithoutABusAndUsesOneThatAppearsLater)
{
    const CEnvironmentGuard restore("DBUS_SESSION_BUS_ADDRESS");
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString address = "unix:path=" + dir.filePath("bus");
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    EXPECT_EQ(m_server.Register(1234), 0);

    QProcess daemon;
    daemon.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address",
                                 "--address=" + address});
    ASSERT_TRUE(daemon.waitForStarted()) << "dbus-daemon is not installed";
    ASSERT_TRUE(QTest::qWaitFor([&] { return daemon.canReadLine(); }, 20000));

    EXPECT_NE(m_server.Register(1234), 0);
    {
        CBusClient client(address);
        EXPECT_FALSE(client.NameOwner(kName).isEmpty());
        EXPECT_EQ(Text(client.Call("Request", {kTopic, "Pomiar"})), "1013.2 hPa");
    }
    m_server.Unregister();
    daemon.kill();
    daemon.waitForFinished();
}

TEST_F(DdeBusTest, RequestServesTheDisplaysTexts)
{
    RegisterAs1234();
    EXPECT_EQ(Text(m_client.Call("Request", {kTopic, "Wynik"})), "1013.2");
    EXPECT_EQ(Text(m_client.Call("Request", {kTopic, "Pomiar"})), "1013.2 hPa");
    EXPECT_EQ(Text(m_client.Call("Request", {kTopic, "Status"})), "Pomiar OK");

    m_display.SetValue(-12.3);
    EXPECT_EQ(Text(m_client.Call("Request", {kTopic, "Wynik"})), "-12.3");
    m_display.SetUnits(9, 9, true);
    m_display.SetValue(0.9);
    EXPECT_EQ(Text(m_client.Call("Request", {kTopic, "Pomiar"})), "0.8 Pa");
    m_display.SetValue(0.0);
    EXPECT_EQ(Text(m_client.Call("Request", {kTopic, "Wynik"})), "-0.1");

    m_display.SetBlinking(true);
    EXPECT_EQ(Text(m_client.Call("Request", {kTopic, "Status"})), "Błąd pomiaru");
    m_display.SetBlinking(false);
    m_display.SetNoValue();
    EXPECT_EQ(Text(m_client.Call("Request", {kTopic, "Status"})), "Błąd pomiaru");
}

TEST_F(DdeBusTest, OtherTopicsAndItemsAreRefused)
{
    RegisterAs1234();
    EXPECT_FALSE(Bool(m_client.Call("Connect", {"Ciśnienie"})));
    EXPECT_FALSE(Bool(m_client.Call("Connect", {"Ciśnienie#4321"})));
    EXPECT_FALSE(Bool(m_client.Call("Connect", {""})));
    for (const auto& [topic, item] : {std::pair{"Ciśnienie", "Wynik"}, std::pair{"Ciśnienie#4321", "Wynik"},
                                      std::pair{"Ciśnienie#1234", "Temperatura"},
                                      std::pair{"Ciśnienie#1234", ""}}) {
        const QDBusMessage reply = m_client.Call("Request", {QString(topic), QString(item)});
        EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage) << topic << " " << item;
        EXPECT_EQ(reply.errorName(), kNotServed);
    }
    EXPECT_FALSE(Bool(m_client.Call("AdviseStart", {kTopic, "Temperatura"})));
    EXPECT_FALSE(Bool(m_client.Call("AdviseStart", {"Ciśnienie", "Wynik"})));
}

TEST_F(DdeBusTest, PropertiesCarryTheTopicAndTheTexts)
{
    RegisterAs1234();
    auto property = [&](const QString& name) {
        const QDBusMessage reply = m_client.GetProperty(name);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << name.toStdString();
        return reply.arguments().value(0).value<QDBusVariant>().variant().toString();
    };
    EXPECT_EQ(property("Topic"), kTopic);
    EXPECT_EQ(property("Wynik"), "1013.2");
    EXPECT_EQ(property("Pomiar"), "1013.2 hPa");
    EXPECT_EQ(property("Status"), "Pomiar OK");

    QDBusMessage set = QDBusMessage::createMethodCall(kName, "/pl/km302/KM302",
                                                      "org.freedesktop.DBus.Properties", "Set");
    set << "pl.km302.KM302.Dde" << "Wynik" << QVariant::fromValue(QDBusVariant(QString("0")));
    EXPECT_EQ(m_client.Send(set).type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(property("Wynik"), "1013.2");
}

TEST_F(DdeBusTest, PropertiesChangedNamesOnlyTheTextsThatChanged)
{
    // Registration happens before the first value reaches the display.
    m_display.SetNoValue();
    RegisterAs1234();
    m_server.AdviseAll();
    m_client.Sync();
    EXPECT_TRUE(m_client.m_changedProperties.empty());

    // One notice for everything one refresh changed.
    m_display.SetValue(1013.3);
    m_server.AdviseAll();
    m_client.Sync();
    ASSERT_EQ(m_client.m_changedProperties.size(), 1u);
    EXPECT_EQ(m_client.m_changedProperties[0].value("Wynik").toString(), "1013.3");
    EXPECT_EQ(m_client.m_changedProperties[0].value("Pomiar").toString(), "1013.3 hPa");
    EXPECT_EQ(m_client.m_changedProperties[0].value("Status").toString(), "Pomiar OK");

    m_client.m_changedProperties.clear();
    m_display.SetBlinking(true);
    m_server.AdviseAll();
    m_client.Sync();
    ASSERT_EQ(m_client.m_changedProperties.size(), 1u);
    EXPECT_EQ(m_client.m_changedProperties[0].keys(), QStringList({"Status"}));
}

TEST_F(DdeBusTest, AdviseStartSendsTheCurrentTextAtOnce)
{
    RegisterAs1234();
    EXPECT_TRUE(Bool(m_client.Call("AdviseStart", {"ciśnienie#1234", "pomiar"})));
    m_client.Sync();
    ASSERT_EQ(m_client.m_advises.size(), 1u);
    EXPECT_EQ(m_client.m_advises[0].topic, kTopic);
    EXPECT_EQ(m_client.m_advises[0].item, "Pomiar");
    EXPECT_EQ(m_client.m_advises[0].text, "1013.2 hPa");
}

TEST_F(DdeBusTest, EveryAdviseAllSendsEachLinkedItemOnce)
{
    RegisterAs1234();
    CBusClient other;
    ASSERT_TRUE(Bool(m_client.Call("AdviseStart", {kTopic, "Wynik"})));
    ASSERT_TRUE(Bool(m_client.Call("AdviseStart", {kTopic, "Status"})));
    ASSERT_TRUE(Bool(other.Call("AdviseStart", {kTopic, "WYNIK"})));
    ASSERT_TRUE(Bool(other.Call("AdviseStart", {kTopic, "Wynik"})));   // the same link again
    m_client.Sync();
    m_client.m_advises.clear();

    m_server.AdviseAll();
    m_server.AdviseAll();
    m_client.Sync();
    EXPECT_EQ(AdvisedItems(m_client), QStringList({"Wynik", "Status", "Wynik", "Status"}));
    EXPECT_EQ(m_client.m_advises[0].text, "1013.2");

    m_display.SetValue(1013.3);
    m_client.m_advises.clear();
    m_server.AdviseAll();
    m_client.Sync();
    ASSERT_EQ(AdvisedItems(m_client), QStringList({"Wynik", "Status"}));
    EXPECT_EQ(m_client.m_advises[0].text, "1013.3");
}

TEST_F(DdeBusTest, AdviseStopEndsOnlyTheCallersLink)
{
    RegisterAs1234();
    CBusClient other;
    ASSERT_TRUE(Bool(m_client.Call("AdviseStart", {kTopic, "Wynik"})));
    ASSERT_TRUE(Bool(m_client.Call("AdviseStart", {kTopic, "Pomiar"})));
    ASSERT_TRUE(Bool(other.Call("AdviseStart", {kTopic, "Pomiar"})));
    EXPECT_TRUE(Bool(m_client.Call("AdviseStop", {kTopic, "wynik"})));
    EXPECT_FALSE(Bool(m_client.Call("AdviseStop", {kTopic, "Wynik"})));
    EXPECT_TRUE(Bool(m_client.Call("AdviseStop", {kTopic, "Pomiar"})));
    m_client.Sync();
    m_client.m_advises.clear();

    m_server.AdviseAll();
    m_client.Sync();
    EXPECT_EQ(AdvisedItems(m_client), QStringList({"Pomiar"}));   // still other's
}

TEST_F(DdeBusTest, ClientsThatLeaveLoseTheirLinks)
{
    RegisterAs1234();
    std::vector<std::unique_ptr<CBusClient>> clients;
    for (int i = 0; i < 25; ++i) {
        clients.push_back(std::make_unique<CBusClient>());
        ASSERT_TRUE(Bool(clients.back()->Call("AdviseStart", {kTopic, i % 2 ? "Wynik" : "Status"})));
    }
    m_client.Sync();
    m_client.m_advises.clear();
    m_server.AdviseAll();
    m_client.Sync();
    EXPECT_EQ(AdvisedItems(m_client), QStringList({"Wynik", "Status"}));

    for (int i = 0; i < 25; i += 2)
        clients[i]->Disconnect();   // every Status link
    const bool statusGone = QTest::qWaitFor([&] {
        m_client.m_advises.clear();
        m_server.AdviseAll();
        m_client.Sync();
        return AdvisedItems(m_client) == QStringList({"Wynik"});
    }, 20000);
    EXPECT_TRUE(statusGone) << AdvisedItems(m_client).join(' ').toStdString();

    clients.clear();
    const bool allGone = QTest::qWaitFor([&] {
        m_client.m_advises.clear();
        m_server.AdviseAll();
        m_client.Sync();
        return m_client.m_advises.empty();
    }, 20000);
    EXPECT_TRUE(allGone);
}

TEST_F(DdeBusTest, LinksEndWithTheRegistration)
{
    RegisterAs1234();
    ASSERT_TRUE(Bool(m_client.Call("AdviseStart", {kTopic, "Wynik"})));
    m_server.Unregister();
    RegisterAs1234();
    m_client.Sync();
    m_client.m_advises.clear();
    m_server.AdviseAll();
    m_client.Sync();
    EXPECT_TRUE(m_client.m_advises.empty());
}

TEST_F(DdeBusTest, WrongArgumentsGetAnErrorAndTheServiceCarriesOn)
{
    RegisterAs1234();
    EXPECT_EQ(m_client.Call("Request", {1, 2}).type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(m_client.Call("Request", {kTopic}).type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(m_client.Call("Request", {kTopic, "Wynik", "Pomiar"}).type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(m_client.Call("AdviseStart", {QStringList{kTopic}, "Wynik"}).type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(m_client.Call("Execute", {"[Zamknij]"}).type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(m_client.Call("Poke", {kTopic, "Wynik", "0"}).type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(Text(m_client.Call("Request", {kTopic, "Wynik"})), "1013.2");
}

TEST_F(DdeBusTest, VeryLongNamesAreRefusedLikeAnyOther)
{
    RegisterAs1234();
    const QString huge(2 << 20, QChar(u'Ś'));
    EXPECT_FALSE(Bool(m_client.Call("Connect", {huge})));
    const QDBusMessage request = m_client.Call("Request", {kTopic + huge, huge});
    EXPECT_EQ(request.errorName(), kNotServed);
    EXPECT_LT(request.errorMessage().size(), 200);
    EXPECT_FALSE(Bool(m_client.Call("AdviseStart", {huge, "Wynik"})));
    EXPECT_FALSE(Bool(m_client.Call("AdviseStop", {kTopic, huge})));
    EXPECT_EQ(Text(m_client.Call("Request", {kTopic, "Wynik"})), "1013.2");
}

}  // namespace
