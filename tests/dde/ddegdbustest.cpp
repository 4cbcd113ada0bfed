// The DDE server driven by the command-line client gdbus (libglib2.0-bin) as a
// separate process, as a user following the README would drive it.

#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <memory>

#include "dde/ddebustransport.h"
#include "dde/ddeserver.h"
#include "tests/kit/busclient.h"
#include "tests/dde/qtprinters.h"
#include "meter/displaystate.h"

namespace {

const QStringList kCallService = {"--session", "--dest", "pl.km302.KM302", "--object-path",
                                  "/pl/km302/KM302"};

struct GdbusResult {
    int exitCode = -1;
    QString out;
    QString err;
};

class DdeGdbusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            GTEST_SKIP() << "no D-Bus session bus: run the tests under dbus-run-session";
        m_gdbus = QStandardPaths::findExecutable("gdbus");
        if (m_gdbus.isEmpty())
            GTEST_SKIP() << "gdbus is not installed (package libglib2.0-bin)";
        m_display.SetUnits(5, 5, true);
        m_display.SetValue(1013.25);
        m_server.m_pDisplay = &m_display;
        ASSERT_NE(m_server.Register(1234), 0);
    }

    void TearDown() override { m_server.Unregister(); }

    // Runs gdbus to its end while this thread keeps serving the bus.
    GdbusResult Gdbus(const QStringList& args)
    {
        QProcess process;
        process.start(m_gdbus, args);
        EXPECT_TRUE(process.waitForStarted());
        EXPECT_TRUE(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    GdbusResult Call(const QString& method, const QStringList& args)
    {
        return Gdbus(QStringList{"call"} + kCallService +
                     QStringList{"--method", "pl.km302.KM302.Dde." + method} + args);
    }

    QString m_gdbus;
    CDisplayState m_display;
    CDdeServer m_server{std::make_unique<CDdeBusTransport>()};
};

TEST_F(DdeGdbusTest, RequestAnswersTheItemText)
{
    const GdbusResult result = Call("Request", {"Ciśnienie#1234", "Pomiar"});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "('1013.2 hPa',)\n");
    EXPECT_EQ(Call("Request", {"CIŚNIENIE#1234", "status"}).out, "('Pomiar OK',)\n");
}

TEST_F(DdeGdbusTest, TopicsAndPropertiesAnswerAsDocumented)
{
    EXPECT_EQ(Call("Topics", {}).out, "(['Ciśnienie#1234'],)\n");
    const GdbusResult result =
        Gdbus(QStringList{"call"} + kCallService +
              QStringList{"--method", "org.freedesktop.DBus.Properties.Get", "pl.km302.KM302.Dde", "Wynik"});
    EXPECT_EQ(result.out, "(<'1013.2'>,)\n") << result.err.toStdString();
}

TEST_F(DdeGdbusTest, RefusedRequestAnswersNotServed)
{
    const GdbusResult result = Call("Request", {"Ciśnienie", "Wynik"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_TRUE(result.err.contains("pl.km302.KM302.Error.NotServed")) << result.err.toStdString();
}

TEST_F(DdeGdbusTest, IntrospectionShowsTheInterfaceAndItsProperties)
{
    const GdbusResult result = Gdbus(QStringList{"introspect"} + kCallService);
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    for (const char* expected : {"interface pl.km302.KM302.Dde", "Topics(", "Connect(", "Request(",
                                 "AdviseStart(", "AdviseStop(", "Advise(",
                                 "readonly s Topic = 'Ciśnienie#1234';",
                                 "readonly s Pomiar = '1013.2 hPa';"})
        EXPECT_TRUE(result.out.contains(QString::fromUtf8(expected))) << expected;
}

TEST_F(DdeGdbusTest, TheNameIsGoneAfterUnregister)
{
    m_server.Unregister();
    const GdbusResult result = Call("Topics", {});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_TRUE(result.err.contains("ServiceUnknown")) << result.err.toStdString();
}

TEST_F(DdeGdbusTest, MonitorSeesAdvisesAndChangedProperties)
{
    QProcess monitor;
    // Line-buffered, or the pipe would hold the lines back.
    const QString stdbuf = QStandardPaths::findExecutable("stdbuf");
    if (stdbuf.isEmpty())
        GTEST_SKIP() << "stdbuf (coreutils) is not installed";
    monitor.start(stdbuf, {"-oL", m_gdbus, "monitor", "--session", "--dest", "pl.km302.KM302"});
    ASSERT_TRUE(monitor.waitForStarted());
    QString output;
    auto seen = [&](const QString& text) {
        output += QString::fromUtf8(monitor.readAllStandardOutput());
        return output.contains(text);
    };

    CBusClient client;
    ASSERT_TRUE(client.Call("AdviseStart", {"Ciśnienie#1234", "Wynik"}).arguments().value(0).toBool());
    // The monitor subscribes on its own time; the advise is re-sent at every refresh.
    EXPECT_TRUE(QTest::qWaitFor([&] {
        m_server.AdviseAll();
        return seen("pl.km302.KM302.Dde.Advise ('Ciśnienie#1234', 'Wynik', '1013.2')");
    }, 20000)) << output.toStdString();

    m_display.SetValue(1013.3);
    m_server.AdviseAll();
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return seen("PropertiesChanged ('pl.km302.KM302.Dde', {'Pomiar': <'1013.3 hPa'>, 'Wynik': <'1013.3'>}, @as [])");
    }, 20000)) << output.toStdString();

    monitor.kill();
    monitor.waitForFinished();
}

}  // namespace
