#include "desktop/meterapp.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

#include "settings/metersettings.h"
#include "settings/settingsfile.h"
#include "device/portmap.h"
#include "device/serialchannel.h"
#include "platform/stopsignals.h"
#include "ui/maindialog.h"

namespace {

constexpr int kGrowStep = 4;

// The free area of the screen a window at `rect` opens on: the screen under
// its top-left corner, else the primary screen.
QRect AvailableAreaAt(const RECT& rect)
{
    const QPoint corner(std::clamp<LONG>(rect.left, -kMaxWindowCoordinate, kMaxWindowCoordinate),
                        std::clamp<LONG>(rect.top, -kMaxWindowCoordinate, kMaxWindowCoordinate));
    const QScreen* screen = QGuiApplication::screenAt(corner);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

} // namespace

CMeterApp::CMeterApp(CommandLine line) : m_line(std::move(line)) {}
CMeterApp::~CMeterApp() = default;

QString CMeterApp::SettingsPath() const
{
    const QString path = SettingsFilePath(InstanceName());
    // The store writes the file beside itself; the folder must exist first.
    QDir().mkpath(QFileInfo(path).path());
    return path;
}

void CMeterApp::ScheduleScreenshot(CMainDialog& window)
{
    // The demo (scripts/run without a display) asks for a picture of the
    // window: KM302_SCREENSHOT=<file.png>, taken KM302_SCREENSHOT_AFTER
    // seconds (default 5) after start.
    const QString path = qEnvironmentVariable("KM302_SCREENSHOT");
    if (path.isEmpty())
        return;
    bool ok = false;
    double seconds = qEnvironmentVariable("KM302_SCREENSHOT_AFTER").toDouble(&ok);
    if (!ok || seconds < 0 || seconds > 3600)
        seconds = 5;
    QTimer::singleShot(int(seconds * 1000), &window, [&window, path] {
        if (!window.grab().save(path, "PNG"))
            std::fprintf(stderr, "km302: could not save the screenshot to %s\n", qPrintable(path));
    });
}

BOOL CMeterApp::InitInstance()
{
    // 1. A stop signal takes the "Zamknij" path. Caught from here (main
    //    caught it even earlier) to the end, so that one arriving while the
    //    settings are read or saved waits for the window's loop instead of
    //    ending the program; only that loop delivers it, and the window
    //    exists while it runs.
    std::unique_ptr<CMainDialog> window;
    CStopSignals stop([&window](int) {
        if (window)
            window->OnStopRequest();
    });

    // 2. The settings store, saved when it is destroyed (before the stop
    //    handling goes).
    CSettingsFile store(kGrowStep);
    store.Load(SettingsPath());
    store.m_saveOnDestroy = true;
    store.m_backupOnSave = false;

    // 3. The main window.
    window = std::make_unique<CMainDialog>();
    window->SetInstanceName(InstanceName());

    // 4. Every setting, in table order, into the window and its display, and
    //    the port map; the window never larger than the screen it opens on,
    //    whatever the file says (it is laid out and painted at that size).
    //    The language code is the application's, empty at every start.
    MeterSettings settings;
    ReadSettings(store, settings);
    settings.windowRect = FitToScreen(settings.windowRect, AvailableAreaAt(settings.windowRect));
    settings.language = m_language;
    window->ApplySettings(settings);
    CPortMap::Instance().SetEntries(settings.ports);

    // 5. Run.
    ScheduleScreenshot(*window);
    window->DoModal();

    // 6. The serial channel goes first: its reader stops here.
    delete window->TakeChannel();

    // 7. Back onto the screen.
    settings = window->Settings();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->geometry().size() : QSize(1024, 768);
    settings.windowRect = KeepOnScreen(settings.windowRect, size.width(), size.height());

    // 8. Every setting back, in table order, with the port map.
    m_language = settings.language;
    settings.ports = CPortMap::Instance().Entries();
    WriteSettings(store, settings);

    // 9. The window, then the store (which saves itself).
    window.reset();
    return FALSE;
}
