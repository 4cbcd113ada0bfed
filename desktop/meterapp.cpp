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

#include "settings/metersettings.h"
#include "settings/settingsfile.h"
#include "device/portmap.h"
#include "device/serialchannel.h"
#include "platform/stopsignals.h"
#include "ui/maindialog.h"
#include "ui/pressuredisplay.h"
#include "ui/recordingcontroller.h"

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

CMeterApp::CMeterApp() = default;
CMeterApp::~CMeterApp() = default;

QString CMeterApp::SettingsPath()
{
    const QString path = SettingsFilePath();
    // The store writes the file beside itself; the folder must exist first.
    QDir().mkpath(QFileInfo(path).path());
    return path;
}

void CMeterApp::ApplyToWindow(const MeterSettings& s, CMainDialog& w)
{
    CPressureDisplay& display = w.Display();
    display.m_crBackground = s.background;
    display.m_crText = s.text;
    display.m_lfValueFont.lfHeight = s.font.lfHeight;
    display.m_lfValueFont.lfWeight = s.font.lfWeight;
    display.m_lfValueFont.lfItalic = s.font.lfItalic;
    display.m_lfValueFont.lfFaceName = s.font.lfFaceName;
    w.m_portNr = s.portNr;
    w.m_windowRect = s.windowRect;
    w.m_topmost = s.topmost;
    w.m_showAdv = s.showAdv;
    w.Recording().SetSettings(s.recording);
    CPortMap::Instance().SetEntries(s.ports);
}

void CMeterApp::TakeFromWindow(const CMainDialog& w, MeterSettings& s)
{
    const CPressureDisplay& display = w.Display();
    s.background = display.m_crBackground;
    s.text = display.m_crText;
    s.font.lfHeight = display.m_lfValueFont.lfHeight;
    s.font.lfWeight = display.m_lfValueFont.lfWeight;
    s.font.lfItalic = display.m_lfValueFont.lfItalic;
    s.font.lfFaceName = display.m_lfValueFont.lfFaceName;
    s.portNr = w.m_portNr;
    s.windowRect = w.m_windowRect;
    s.topmost = w.m_topmost;
    s.showAdv = w.m_showAdv;
    s.recording = w.Recording().Settings();
    s.ports = CPortMap::Instance().Entries();
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
    window->m_pLanguage = &m_language;

    // 4. Every setting, in table order, into the window and its display; the
    //    window never larger than the screen it opens on, whatever the file
    //    says (it is laid out and painted at that size).
    MeterSettings settings;
    ReadSettings(store, settings);
    ApplyToWindow(settings, *window);
    window->m_windowRect = FitToScreen(settings.windowRect, AvailableAreaAt(settings.windowRect));

    // 5. Run.
    ScheduleScreenshot(*window);
    window->DoModal();

    // 6. The serial channel goes first: its reader stops here.
    delete window->m_pChannel;
    window->m_pChannel = nullptr;

    // 7. Back onto the screen.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->geometry().size() : QSize(1024, 768);
    window->m_windowRect = KeepOnScreen(window->m_windowRect, size.width(), size.height());

    // 8. Every setting back, in table order.
    TakeFromWindow(*window, settings);
    settings.language = m_language;
    WriteSettings(store, settings);

    // 9. The window, then the store (which saves itself).
    window.reset();
    return FALSE;
}
