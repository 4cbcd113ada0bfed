#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>

#include <gtest/gtest.h>

#include "publish/mqttclient.h"
#include "tests/kit/mosquittobroker.h"
#include "ui/mqttdialog.h"

namespace {

// The command gives the settings to the fields and takes them back only with
// OK; an emptied prefix falls back to its default rather than the root.
TEST(MqttDialogTest, TheCommandShowsTheSettingsAndTakesThemOnlyWithOk)
{
    MqttSettings settings;
    settings.strHost = QStringLiteral("broker.lan");
    settings.strPassword = QStringLiteral("tajne");
    const auto edit = [](CMqttDialog& d) {
        d.OnInitDialog();
        EXPECT_EQ(QStringLiteral("broker.lan"), d.m_host->text());
        EXPECT_EQ(QLineEdit::Password, d.m_password->echoMode());
        d.m_host->setText(QStringLiteral(" 10.0.0.5 "));
        d.m_port->setValue(8883);
        d.m_topic->clear();
        return 0;
    };
    EXPECT_EQ(IDCANCEL, RunMqttCommand(settings, nullptr, [&](CMqttDialog& d) { edit(d); return IDCANCEL; }));
    EXPECT_EQ(QStringLiteral("broker.lan"), settings.strHost);

    RunMqttCommand(settings, nullptr, [&](CMqttDialog& d) {
        edit(d);
        d.OnOK();
        return IDOK;
    });
    EXPECT_EQ(QStringLiteral("10.0.0.5"), settings.strHost);
    EXPECT_EQ(8883, settings.nPort);
    EXPECT_EQ(QStringLiteral("km302"), settings.strTopic);
    EXPECT_EQ(QStringLiteral("tajne"), settings.strPassword);
}

// "Sprawdź połączenie" against a real broker: connected, then refused for a
// wrong password, said without the password.
TEST(MqttDialogTest, TheTestButtonSaysWhatTheBrokerAnswered)
{
    CMosquittoBroker open;
    ASSERT_TRUE(open.Start()) << open.Log().toStdString();
    CMqttDialog dialog;
    dialog.m_settings.strHost = QStringLiteral("127.0.0.1");
    dialog.m_settings.nPort = open.Port();
    dialog.OnInitDialog();
    QSignalSpy finished(&dialog, &CMqttDialog::TestFinished);
    dialog.OnTestConnection();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(finished.at(0).at(0).toBool());
    EXPECT_EQ(CMqttClient::ConnectedText(QStringLiteral("127.0.0.1"), open.Port()), dialog.ResultText());

    CMosquittoBroker guarded;
    const QString passwords = guarded.MakePasswordFile(QStringLiteral("hala"), QStringLiteral("dobre"));
    ASSERT_TRUE(guarded.Start({QStringLiteral("allow_anonymous false"), QStringLiteral("password_file ") + passwords}))
        << guarded.Log().toStdString();
    dialog.m_port->setValue(guarded.Port());
    dialog.m_user->setText(QStringLiteral("hala"));
    dialog.m_password->setText(QStringLiteral("zle-haslo"));
    dialog.OnTestConnection();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_FALSE(finished.at(1).at(0).toBool());
    EXPECT_EQ(CMqttClient::RefusedUserText(), dialog.ResultText());
    EXPECT_FALSE(dialog.ResultText().contains(QStringLiteral("zle-haslo")));
}

} // namespace
