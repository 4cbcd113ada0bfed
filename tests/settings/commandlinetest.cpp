// --config NAME: which names make a settings file of their own, and which are
// refused before anything runs.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QScopeGuard>
#include <QStringList>

#include "settings/commandline.h"
#include "settings/metersettings.h"

namespace {

TEST(ConfigOption, APlainNameSelectsItsOwnSettingsFileInBothPrograms)
{
    // The folder is named after the application, as both programs name it.
    const QString application = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("KM302"));
    const auto restore = qScopeGuard([&] { QCoreApplication::setApplicationName(application); });
    const CommandLine window = ParseCommandLine({"--config", "hala2"});
    EXPECT_TRUE(window.error.isEmpty()) << qPrintable(window.error);
    EXPECT_EQ(QStringLiteral("hala2"), InstanceName(window));
    EXPECT_TRUE(SettingsFilePath(InstanceName(window)).endsWith(QStringLiteral("/KM302/hala2.ini")));

    const CommandLine headless = ParseCommandLine({"--headless", "--config=Hala_2.zima-2026", "--port", "COM3"});
    EXPECT_TRUE(headless.error.isEmpty()) << qPrintable(headless.error);
    EXPECT_EQ(QStringLiteral("Hala_2.zima-2026"), InstanceName(headless));
    EXPECT_EQ(3, headless.portNr.value_or(0));

    EXPECT_TRUE(ParseCommandLine({"--config", QString(64, QLatin1Char('a'))}).error.isEmpty());
    EXPECT_EQ(QStringLiteral("KM302"), InstanceName(ParseCommandLine({"--headless"})));
    EXPECT_TRUE(SettingsFilePath(InstanceName(CommandLine{})).endsWith(QStringLiteral("/KM302/KM302.ini")));
}

TEST(ConfigOption, ANameThatIsNotAPlainFileNamePartIsAUsageError)
{
    const QStringList bad{
        "",                         // no value
        ".hidden", "..", "../KM302", "a/b", "/etc/x", "a b", "a\n", "hala*", "ciśnienie",
        "a:b", "a\\b", QString(65, QLatin1Char('a')),
    };
    for (const QString& name : bad) {
        for (const QStringList& arguments :
             {QStringList{"--config", name}, QStringList{"--headless", "--config=" + name}}) {
            const CommandLine line = ParseCommandLine(arguments);
            EXPECT_FALSE(line.error.isEmpty()) << qPrintable(arguments.join(' '));
            EXPECT_FALSE(line.configName) << qPrintable(arguments.join(' '));
        }
    }
}

} // namespace
