// The server's core without a bus: registration against a recording
// transport, the names it answers to, and its transaction table.

#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "dde/ddeserver.h"
#include "tests/dde/fakeddetransport.h"
#include "tests/dde/qtprinters.h"
#include "meter/displaystate.h"

namespace {

const QString kService = QStringLiteral("pl.km302.KM302");
const QString kTopic = QStringLiteral("Ciśnienie#1234");

class DdeServerTest : public ::testing::Test {
protected:
    DdeServerTest()
        : m_transport(new CFakeDdeTransport),
          m_server(std::unique_ptr<IDdeTransport>(m_transport))
    {
    }

    QStringList TakeCalls() { return std::exchange(m_transport->m_calls, {}); }

    void RegisterAs1234()
    {
        ASSERT_NE(m_server.Register(1234), 0);
        TakeCalls();
    }

    bool Connect(const QString& topic, const QString& service = kService)
    {
        return m_transport->Transact(XTYP_CONNECT, 0, topic, service).result;
    }

    bool AdviseStart(const QString& topic, const QString& item, unsigned format = CF_TEXT)
    {
        return m_transport->Transact(XTYP_ADVSTART, format, topic, item).result;
    }

    CFakeDdeTransport* m_transport;   // owned by m_server
    CDdeServer m_server;
};

TEST_F(DdeServerTest, RegisterConnectsThenOwnsTheServiceName)
{
    EXPECT_NE(m_server.Register(1234), 0);
    EXPECT_EQ(TakeCalls(), QStringList({"Initialize", "NameService register pl.km302.KM302",
                                        "NameService register pl.km302.KM302.SN1234"}));
}

TEST_F(DdeServerTest, TopicCarriesTheSerialNumber)
{
    RegisterAs1234();
    const DdeReply wild = m_transport->Transact(XTYP_WILDCONNECT, 0, HSZ(), HSZ());
    ASSERT_TRUE(wild.result);
    ASSERT_EQ(wild.pairs.size(), 1u);
    EXPECT_EQ(wild.pairs[0].hszSvc, kService);
    EXPECT_EQ(wild.pairs[0].hszTopic, kTopic);
}

TEST_F(DdeServerTest, AnySerialNumberIsFormattedAsALong)
{
    ASSERT_NE(m_server.Register(-7), 0);
    EXPECT_TRUE(Connect(QStringLiteral("Ciśnienie#-7")));
    m_server.Unregister();
    ASSERT_NE(m_server.Register(4000000000L), 0);
    EXPECT_TRUE(Connect(QStringLiteral("Ciśnienie#4000000000")));
}

TEST_F(DdeServerTest, SecondRegisterWithoutUnregisterFailsAndKeepsTheFirst)
{
    RegisterAs1234();
    EXPECT_EQ(m_server.Register(99), 0);
    EXPECT_TRUE(TakeCalls().isEmpty());
    EXPECT_TRUE(Connect(kTopic));
}

TEST_F(DdeServerTest, NothingToConnectToFailsAndLaterRegisterTriesAgain)
{
    m_transport->m_bFailInitialize = true;
    EXPECT_EQ(m_server.Register(1234), 0);
    EXPECT_EQ(TakeCalls(), QStringList({"Initialize"}));
    // Nothing was registered, so withdrawing has nothing to do.
    EXPECT_EQ(m_server.Unregister(), 1);
    EXPECT_TRUE(TakeCalls().isEmpty());

    m_transport->m_bFailInitialize = false;
    EXPECT_NE(m_server.Register(1234), 0);
}

TEST_F(DdeServerTest, NameHeldElsewhereFailsAndDisconnectsSoTheNextRegisterStartsAfresh)
{
    m_transport->m_bFailNameService = true;
    EXPECT_EQ(m_server.Register(1234), 0);
    const QStringList attempt({"Initialize", "NameService register pl.km302.KM302",
                               "NameService unregister pl.km302.KM302", "Uninitialize"});
    EXPECT_EQ(TakeCalls(), attempt);
    EXPECT_EQ(m_server.Register(1234), 0);
    EXPECT_EQ(TakeCalls(), attempt);

    m_transport->m_bFailNameService = false;
    EXPECT_NE(m_server.Register(1234), 0);
}

TEST_F(DdeServerTest, UnregisterWithdrawsTheNameThenDisconnects)
{
    RegisterAs1234();
    EXPECT_EQ(m_server.Unregister(), 1);
    EXPECT_EQ(TakeCalls(),
              QStringList({"NameService unregister pl.km302.KM302", "Uninitialize"}));
    EXPECT_EQ(m_server.Unregister(), 1);
    EXPECT_TRUE(TakeCalls().isEmpty());
}

TEST_F(DdeServerTest, AdviseAllPostsEveryItemInOrderWhileRegistered)
{
    m_server.AdviseAll();
    EXPECT_TRUE(TakeCalls().isEmpty());

    RegisterAs1234();
    m_server.AdviseAll();
    m_server.AdviseAll();
    const QStringList once = {"PostAdvise Ciśnienie#1234 Wynik", "PostAdvise Ciśnienie#1234 Pomiar",
                              "PostAdvise Ciśnienie#1234 Status"};
    EXPECT_EQ(TakeCalls(), once + once);

    m_server.Unregister();
    TakeCalls();
    m_server.AdviseAll();
    EXPECT_TRUE(TakeCalls().isEmpty());
}

TEST_F(DdeServerTest, ConnectAcceptsItsTopicInAnyCase)
{
    RegisterAs1234();
    EXPECT_TRUE(Connect(kTopic));
    EXPECT_TRUE(Connect(QStringLiteral("CIŚNIENIE#1234")));
    EXPECT_TRUE(Connect(QStringLiteral("cIśNiEnIe#1234")));
    // ś written as s and a combining acute accent is the same name.
    EXPECT_TRUE(Connect(QStringLiteral("Cis\u0301nienie#1234")));
    EXPECT_TRUE(Connect(kTopic, QStringLiteral("PL.KM302.km302")));
}

TEST_F(DdeServerTest, ConnectRefusesOtherTopicsAndServices)
{
    RegisterAs1234();
    EXPECT_FALSE(Connect(QStringLiteral("Ciśnienie")));
    EXPECT_FALSE(Connect(QStringLiteral("Ciśnienie#1235")));
    EXPECT_FALSE(Connect(QStringLiteral("Ciśnienie#12345")));
    EXPECT_FALSE(Connect(QStringLiteral("Cisnienie#1234")));
    EXPECT_FALSE(Connect(QStringLiteral("Ciśnienie#1234 ")));
    EXPECT_FALSE(Connect(HSZ()));
    EXPECT_FALSE(Connect(kTopic, QStringLiteral("KM302")));
    EXPECT_FALSE(Connect(kTopic, HSZ()));
    EXPECT_FALSE(Connect(QString(1 << 20, QLatin1Char('C'))));
}

TEST_F(DdeServerTest, WildcardConnectNamesThePairOnlyForMatchingNames)
{
    RegisterAs1234();
    for (const auto& [topic, service] : {std::pair{HSZ(), HSZ()}, std::pair{kTopic, HSZ()},
                                         std::pair{HSZ(), kService},
                                         std::pair{QStringLiteral("ciśnienie#1234"), kService}}) {
        const DdeReply reply = m_transport->Transact(XTYP_WILDCONNECT, CF_TEXT, topic, service);
        EXPECT_TRUE(reply.result) << topic.toStdString() << " " << service.toStdString();
        ASSERT_EQ(reply.pairs.size(), 1u);
        EXPECT_EQ(reply.pairs[0].hszTopic, kTopic);
    }
    EXPECT_FALSE(m_transport->Transact(XTYP_WILDCONNECT, CF_TEXT, QStringLiteral("Ciśnienie"), HSZ()).result);
    EXPECT_TRUE(m_transport->Transact(XTYP_WILDCONNECT, CF_TEXT, HSZ(), QStringLiteral("KM303")).pairs.empty());
}

TEST_F(DdeServerTest, AdviseStartPostsTheNewLinkAtOnceUnderTheServersNames)
{
    RegisterAs1234();
    EXPECT_TRUE(AdviseStart(QStringLiteral("CIŚNIENIE#1234"), QStringLiteral("pomiar")));
    EXPECT_EQ(TakeCalls(), QStringList({"PostAdvise Ciśnienie#1234 Pomiar"}));
}

TEST_F(DdeServerTest, AdviseStartRefusesWhatIsNotServed)
{
    RegisterAs1234();
    EXPECT_FALSE(AdviseStart(kTopic, QStringLiteral("Ciśnienie")));
    EXPECT_FALSE(AdviseStart(kTopic, HSZ()));
    EXPECT_FALSE(AdviseStart(QStringLiteral("Ciśnienie"), QStringLiteral("Wynik")));
    EXPECT_FALSE(AdviseStart(kTopic, QStringLiteral("Wynik"), 13));   // CF_UNICODETEXT
    EXPECT_TRUE(TakeCalls().isEmpty());
}

TEST_F(DdeServerTest, RequestsForUnservedNamesOrFormatsGetNoData)
{
    RegisterAs1234();
    for (unsigned type : {XTYP_REQUEST, XTYP_ADVREQ}) {
        EXPECT_FALSE(m_transport->Transact(type, CF_TEXT, kTopic, QStringLiteral("Wyniki")).result);
        EXPECT_FALSE(m_transport->Transact(type, CF_TEXT, QStringLiteral("Ciśnienie#1"), QStringLiteral("Wynik")).result);
        EXPECT_FALSE(m_transport->Transact(type, 13, kTopic, QStringLiteral("Wynik")).result);
    }
}

TEST_F(DdeServerTest, WithoutADisplayEvenServedItemsGetNoData)
{
    RegisterAs1234();
    EXPECT_FALSE(m_transport->Transact(XTYP_REQUEST, CF_TEXT, kTopic, QStringLiteral("Status")).result);
}

// With the main window's display, whose state is what clients see.
class DdeServerDisplayTest : public DdeServerTest {
protected:
    void SetUp() override
    {
        m_server.m_pDisplay = &m_display;
        RegisterAs1234();
    }

    QString Text(unsigned type, const QString& item)
    {
        const DdeReply reply = m_transport->Transact(type, CF_TEXT, kTopic, item);
        EXPECT_TRUE(reply.result) << item.toStdString();
        return reply.text;
    }

    CDisplayState m_display;
};

TEST_F(DdeServerDisplayTest, RequestsAndAdvisesServeTheDisplaysValue)
{
    m_display.SetUnits(5, 5, true);
    m_display.SetValue(1013.25);
    for (unsigned type : {XTYP_REQUEST, XTYP_ADVREQ}) {
        EXPECT_EQ(Text(type, QStringLiteral("Wynik")), "1013.2");
        EXPECT_EQ(Text(type, QStringLiteral("POMIAR")), "1013.2 hPa");
        EXPECT_EQ(Text(type, QStringLiteral("status")), "Pomiar OK");
    }
}

TEST_F(DdeServerDisplayTest, PascalsFollowTheDisplaysUnit)
{
    m_display.SetUnits(9, 9, true);
    m_display.SetValue(101325.0);
    EXPECT_EQ(Text(XTYP_REQUEST, QStringLiteral("Wynik")), "101324.9");
    EXPECT_EQ(Text(XTYP_REQUEST, QStringLiteral("Pomiar")), "101324.9 Pa");
}

TEST_F(DdeServerDisplayTest, StatusIsAnErrorWhileTheDisplayBlinksOrHasNoValue)
{
    m_display.SetUnits(5, 5, true);
    EXPECT_EQ(Text(XTYP_REQUEST, QStringLiteral("Status")), "Błąd pomiaru");   // "???" at start
    m_display.SetValue(1000.0);
    EXPECT_EQ(Text(XTYP_REQUEST, QStringLiteral("Status")), "Pomiar OK");
    m_display.SetBlinking(true);
    EXPECT_EQ(Text(XTYP_REQUEST, QStringLiteral("Status")), "Błąd pomiaru");
    m_display.SetBlinking(false);
    m_display.SetNoValue();
    EXPECT_EQ(Text(XTYP_REQUEST, QStringLiteral("Status")), "Błąd pomiaru");
}

}  // namespace
