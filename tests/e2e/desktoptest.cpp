// The real km302 on a desktop as a user has one: an X server with a window
// manager, the instrument on its port, and every command of the menus chosen
// with the mouse and the keyboard (xdotool). After each command the window it
// opens is closed with Escape, and the program must still be running with its
// main window on the screen; "Zamknij" then ends it with status 0.
//
// Needs Xvfb, openbox, xdotool and xprop.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/liverig.h"
#include "tests/kit/xsession.h"

namespace {

// Where a command sits: its menu (Program, Widok, Ustawienia, Pomoc) and its
// place in that menu, separators not counted.
struct MenuItem {
    int menu;
    int item;
};

constexpr MenuItem kPlotix {0, 0};
constexpr MenuItem kClose {0, 1};
constexpr MenuItem kAlwaysOnTop {1, 2};
constexpr MenuItem kHelp {3, 0};
constexpr MenuItem kAbout {3, 2};

constexpr int kWindowMs = 10000;

// The chart viewer of this build; "Uruchom Plotix" starts it when it lies
// beside the program.
#ifdef KM302_PLOT_PATH
constexpr const char* kViewerPath = KM302_PLOT_PATH;
#else
constexpr const char* kViewerPath = "";
#endif

struct Geometry {
    QByteArray position;
    QByteArray size;
};

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(rig.IsValid());
        ASSERT_TRUE(x.Start()) << x.Error().toStdString();
        ASSERT_TRUE(rig.WriteSettings(false));
        // The desktop's URL handler is a stand-in that writes down what it was
        // asked to open; nothing real opens, and the home folder is the test's.
        ASSERT_TRUE(QDir().mkpath(rig.FilePath(QStringLiteral("bin"))));
        ASSERT_TRUE(QDir().mkpath(rig.FilePath(QStringLiteral("home"))));
        const QString opener = rig.FilePath(QStringLiteral("bin/xdg-open"));
        QFile script(opener);
        const QByteArray text = "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" + OpenedPath().toLocal8Bit() + "'\n";
        ASSERT_TRUE(script.open(QIODevice::WriteOnly) && script.write(text) == text.size());
        script.close();
        ASSERT_TRUE(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        // The X keyboard library hands strndup names that end at a length,
        // not at a NUL: legal, but not under the sanitizer's strict string
        // checks, which the suite sets for its own code.
        const std::string sanitizer = qEnvironmentVariable("ASAN_OPTIONS").toStdString() + ":strict_string_checks=0";
        std::vector<std::string> environment{"QT_QPA_PLATFORM=xcb", "DISPLAY=" + x.Display().toStdString(),
                                             "ASAN_OPTIONS=" + sanitizer,
                                             "HOME=" + rig.FilePath(QStringLiteral("home")).toStdString()};
        if (m_withBrowser) {
            environment.push_back("BROWSER=" + opener.toStdString());
            environment.push_back("PATH=" + rig.FilePath(QStringLiteral("bin")).toStdString() + ":"
                                  + qEnvironmentVariable("PATH").toStdString());
        } else {
            // Nothing that shows HTML: no $BROWSER, no application entries,
            // and on PATH only the handler, which reports success whatever
            // it is given (as xdg-open does when it falls back to an editor).
            environment.push_back("PATH=" + rig.FilePath(QStringLiteral("bin")).toStdString());
            environment.push_back("XDG_DATA_HOME=" + rig.FilePath(QStringLiteral("home/share")).toStdString());
            environment.push_back("XDG_DATA_DIRS=" + rig.FilePath(QStringLiteral("share")).toStdString());
        }
        rig.Program().SetEnvironment(environment);
        ASSERT_TRUE(rig.StartSim());
        ASSERT_TRUE(rig.StartProgram());
        ASSERT_TRUE(CLiveRig::WaitUntil([&] { return !MainWindow().isEmpty(); }, kWindowMs))
            << "the main window did not appear";
    }

    QString OpenedPath() const { return rig.FilePath(QStringLiteral("opened")); }

    // The program's visible windows (menus too) whose title matches
    // `pattern`. Titles are read as the window manager shows them
    // (_NET_WM_NAME): some of Qt's windows leave the older WM_NAME empty.
    std::set<QString> Windows(const QString& pattern)
    {
        const auto found = x.Run(QStringLiteral("xdotool"),
                                 {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                                  QStringLiteral("--pid"), QString::number(rig.Program().Pid())});
        const QRegularExpression title(pattern);
        std::set<QString> ids;
        for (const QString& id : QString::fromLatin1(found.value_or(QByteArray())).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const auto name = x.Run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), id});
            if (name && title.match(QString::fromUtf8(name->trimmed())).hasMatch())
                ids.insert(id);
        }
        return ids;
    }

    // The main window: the program's window titled "KM302" that belongs to no
    // other (menus, dialogs and message boxes do). Empty when there is none
    // or the program has ended.
    QString MainWindow()
    {
        if (!rig.Program().IsRunning())
            return {};
        for (const QString& id : Windows(QStringLiteral("^KM302$"))) {
            const auto owner = x.Run(QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("WM_TRANSIENT_FOR")});
            if (owner && owner->contains("not found"))
                return id;
        }
        return {};
    }

    bool Xdotool(const QStringList& args) const { return x.Run(QStringLiteral("xdotool"), args).has_value(); }

    // A window matching `pattern` that is not among `before`, once it shows.
    QString WaitForNewWindow(const QString& pattern, const std::set<QString>& before)
    {
        QString fresh;
        CLiveRig::WaitUntil([&] {
            for (const QString& id : Windows(pattern)) {
                if (!before.count(id))
                    fresh = id;
            }
            return !fresh.isEmpty();
        }, kWindowMs);
        return fresh;
    }

    // Opens the first menu with a click on its title at the top of the main
    // window, moves to `at.menu` and its item with the arrow keys and chooses
    // it with Enter. False when the window or the menu cannot be reached or
    // the menu stays open.
    bool Choose(MenuItem at)
    {
        const QString window = MainWindow();
        if (window.isEmpty() || !Xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window}))
            return false;
        const std::set<QString> before = Windows(QString());
        if (!Xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QStringLiteral("20"),
                      QStringLiteral("10"), QStringLiteral("click"), QStringLiteral("1")}))
            return false;
        const QString menu = WaitForNewWindow(QString(), before);
        if (menu.isEmpty())
            return false;
        // A menu opened by the mouse has no current item: Down takes the
        // first. A menu reached with Right opens at its first item.
        QStringList keys {QStringLiteral("key"), QStringLiteral("Down")};
        for (int i = 0; i < at.menu; ++i)
            keys << QStringLiteral("Right");
        for (int i = 0; i < at.item; ++i)
            keys << QStringLiteral("Down");
        keys << QStringLiteral("Return");
        // Done once the menu has closed, so that it is not taken for the
        // window the command opens.
        return Xdotool(keys) && CLiveRig::WaitUntil([&] { return !Windows(QString()).count(menu); }, kWindowMs);
    }

    // Chooses the command, waits for the window it opens (title matching
    // `title`), closes it with Escape and waits for it to go. Failures are
    // reported under `name`.
    void OpenAndClose(const char* name, MenuItem at, const QString& title)
    {
        OpenAndClose(name, [&] { return Choose(at); }, title);
    }

    // The same with the keys of `keys` (xdotool's names) on the main window.
    void KeysOpenAndClose(const char* keys, const QString& title)
    {
        OpenAndClose(keys, [&] {
            return Xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), MainWindow()})
                   && Xdotool(QStringList{QStringLiteral("key")} + QString::fromLatin1(keys).split(QLatin1Char(' ')));
        }, title);
    }

    void OpenAndClose(const char* name, const std::function<bool()>& open, const QString& title)
    {
        SCOPED_TRACE(name);
        const std::set<QString> before = Windows(title);
        ASSERT_TRUE(open());
        const QString opened = WaitForNewWindow(title, before);
        ASSERT_FALSE(opened.isEmpty()) << "no window titled " << title.toStdString();
        ASSERT_TRUE(Xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), opened}));
        ASSERT_TRUE(Xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
        ASSERT_TRUE(CLiveRig::WaitUntil([&] { return !Windows(title).count(opened); }, kWindowMs))
            << "Escape did not close it";
        ExpectStillRunning();
    }

    // "Uruchom Plotix" where our chart viewer lies beside the program: the
    // viewer's own window (another process) shows, with no log as its
    // argument since the rig records none, and Ctrl+Q closes it.
    void StartViewerAndClose(const QString& viewer)
    {
        SCOPED_TRACE("Uruchom Plotix");
        ASSERT_TRUE(Choose(kPlotix));
        QString window;
        CLiveRig::WaitUntil([&] {
            const auto found = x.Run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                                 QStringLiteral("--name"), QStringLiteral("^km302-plot")});
            window = QString::fromLatin1(found.value_or(QByteArray())).section(QLatin1Char('\n'), 0, 0).trimmed();
            return !window.isEmpty();
        }, kWindowMs);
        ASSERT_FALSE(window.isEmpty()) << "no window of km302-plot";
        const QByteArray pid = x.Run(QStringLiteral("xdotool"), {QStringLiteral("getwindowpid"), window})
                                   .value_or(QByteArray()).trimmed();
        const QString proc = QStringLiteral("/proc/") + QString::fromLatin1(pid);
        EXPECT_EQ(QFileInfo(viewer).canonicalFilePath(), QFileInfo(proc + QStringLiteral("/exe")).canonicalFilePath());
        EXPECT_EQ(1, CLiveRig::ReadFile(proc + QStringLiteral("/cmdline")).count('\0')) << "arguments given";
        ASSERT_TRUE(Xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window}));
        ASSERT_TRUE(Xdotool({QStringLiteral("key"), QStringLiteral("ctrl+q")}));
        const bool closed = CLiveRig::WaitUntil([&] { return !QFileInfo::exists(proc + QStringLiteral("/exe")); }, kWindowMs);
        if (!closed && pid.toInt() > 0)
            ::kill(pid.toInt(), SIGKILL);
        EXPECT_TRUE(closed) << "Ctrl+Q did not end km302-plot";
        ExpectStillRunning();
    }

    void ExpectStillRunning()
    {
        EXPECT_TRUE(CLiveRig::WaitUntil([&] { return !MainWindow().isEmpty(); }, kWindowMs))
            << "the program ended or its main window went away";
    }

    // Whether the window manager keeps the main window above the others.
    bool IsAbove()
    {
        const auto state = x.Run(QStringLiteral("xprop"),
                                 {QStringLiteral("-id"), MainWindow(), QStringLiteral("_NET_WM_STATE")});
        return state && state->contains("_NET_WM_STATE_ABOVE");
    }

    Geometry WindowGeometry()
    {
        const auto text = x.Run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), MainWindow()});
        Geometry g;
        for (const QByteArray& line : text.value_or(QByteArray()).split('\n')) {
            if (line.trimmed().startsWith("Position:"))
                g.position = line.trimmed().mid(9).split('(').first().trimmed();
            else if (line.trimmed().startsWith("Geometry:"))
                g.size = line.trimmed().mid(9).trimmed();
        }
        return g;
    }

    // "Zamknij": the program ends by itself with status 0.
    void CloseAndExpectStatusZero()
    {
        ASSERT_TRUE(Choose(kClose));
        EXPECT_EQ(0, rig.Program().WaitExit(CLiveRig::Slack(20000)));
    }

    bool m_withBrowser = true;
    // The server outlives the program, which would otherwise end on losing it.
    CXSession x;
    CLiveRig rig;
};

TEST_F(DesktopTest, EveryMenuCommandOpensItsWindowWhichClosesAndTheProgramCarriesOn)
{
    // Titles are matched whole: the window manager shows each dialog's own
    // title, with nothing appended. Without a charting program the command
    // ends in a message box.
    const QString viewer = QString::fromUtf8(kViewerPath);
    const bool viewerBeside = !viewer.isEmpty() && QFileInfo(viewer).absolutePath() == QFileInfo(KM302_PATH).absolutePath();
    if (viewerBeside) {
        ASSERT_NO_FATAL_FAILURE(StartViewerAndClose(viewer));
    } else {
        OpenAndClose("Uruchom Plotix", kPlotix, QStringLiteral("^KM302$"));
    }
    OpenAndClose("Kolory", {1, 0}, QStringLiteral("^Kolory$"));
    OpenAndClose("Czcionki", {1, 1}, QStringLiteral("^Czcionki$"));
    OpenAndClose("Port szeregowy", {2, 0}, QStringLiteral("^Porty$"));
    OpenAndClose("Rejestracja do pliku", {2, 1}, QStringLiteral("^Rejestracja do pliku$"));
    OpenAndClose("Ustawienia dodatkowe", {2, 2}, QStringLiteral("^Ustawienia dodatkowe$"));
    OpenAndClose("Stacja pomiarowa…", {2, 3}, QStringLiteral("^Stacja pomiarowa$"));
    OpenAndClose("Publikowanie MQTT…", {2, 4}, QStringLiteral("^Publikowanie MQTT$"));
    OpenAndClose("Program KDS", {3, 1}, QStringLiteral("promocja KDS$"));
    OpenAndClose("O programie", kAbout, QStringLiteral("^O programie$"));

    // Help goes to the desktop's URL handler, at the Polish topic.
    ASSERT_TRUE(Choose(kHelp));
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return QFile::exists(OpenedPath()); }, kWindowMs));
    const QByteArray opened = CLiveRig::ReadFile(OpenedPath());
    EXPECT_TRUE(opened.startsWith("file:///") && opened.contains("KM302.html#topic100")) << opened.toStdString();
    ExpectStillRunning();

    CloseAndExpectStatusZero();
    // The message box of the charting program, when it showed, was the only one.
    const QByteArray errors = rig.Program().ErrorOutput();
    EXPECT_EQ(viewerBeside ? 0 : 1, errors.count("km302: ")) << errors.toStdString();
}

TEST_F(DesktopTest, AlwaysOnTopKeepsTheWindowOpenInPlaceAndIsSavedWhenClearedAgain)
{
    const Geometry before = WindowGeometry();
    ASSERT_FALSE(IsAbove());

    ASSERT_TRUE(Choose(kAlwaysOnTop));
    CLiveRig::WaitUntil([&] { return IsAbove() || !rig.Program().IsRunning(); }, kWindowMs);
    ASSERT_TRUE(rig.Program().IsRunning()) << "the program ended";
    EXPECT_TRUE(IsAbove()) << "the window is not kept above";
    // A dialog opened and closed meanwhile: the program still answers.
    OpenAndClose("O programie", kAbout, QStringLiteral("^O programie$"));
    const Geometry above = WindowGeometry();
    EXPECT_EQ(before.position, above.position);
    EXPECT_EQ(before.size, above.size);

    ASSERT_TRUE(Choose(kAlwaysOnTop));
    EXPECT_TRUE(CLiveRig::WaitUntil([&] { return !MainWindow().isEmpty() && !IsAbove(); }, kWindowMs))
        << "the window is still kept above";
    OpenAndClose("O programie", kAbout, QStringLiteral("^O programie$"));
    const Geometry after = WindowGeometry();
    EXPECT_EQ(before.position, after.position);
    EXPECT_EQ(before.size, after.size);

    CloseAndExpectStatusZero();
    const QByteArray settings = CLiveRig::ReadFile(rig.SettingsPath());
    EXPECT_TRUE(settings.contains("\r\nTOPMOST=0\r\n")) << settings.toStdString();
}

// A desktop without a browser, driven from the keyboard only: F1 shows the
// help in the program's own window, Alt and a menu's letter, then an item's
// letter, choose a command, F10 opens the menu bar, Ctrl+Q ends the program.
class DesktopWithoutBrowserTest : public DesktopTest {
protected:
    DesktopWithoutBrowserTest() { m_withBrowser = false; }
};

TEST_F(DesktopWithoutBrowserTest, TheKeyboardReachesEveryMenuAndHelpShowsInTheProgramsOwnWindow)
{
    KeysOpenAndClose("F1", QStringLiteral("^KM302 — pomoc$"));
    EXPECT_FALSE(QFile::exists(OpenedPath())) << "the page went to the desktop's handler";
    KeysOpenAndClose("alt+w k", QStringLiteral("^Kolory$"));
    KeysOpenAndClose("alt+c o", QStringLiteral("^O programie$"));
    // F10 opens the first menu, "Program"; from there the arrows move on.
    KeysOpenAndClose("F10 Down Right Return", QStringLiteral("^Kolory$"));
    ASSERT_TRUE(Xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), MainWindow()}));
    ASSERT_TRUE(Xdotool({QStringLiteral("key"), QStringLiteral("ctrl+q")}));
    EXPECT_EQ(0, rig.Program().WaitExit(CLiveRig::Slack(20000)));
    EXPECT_EQ(0, rig.Program().ErrorOutput().count("km302: ")) << rig.Program().ErrorOutput().toStdString();
}

} // namespace
