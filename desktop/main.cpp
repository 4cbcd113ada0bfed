#include <QApplication>
#include <QFileInfo>
#include <QIcon>

#include <unistd.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "settings/commandline.h"
#include "desktop/meterapp.h"
#include "platform/qtservices.h"
#include "platform/qttranslations.h"
#include "platform/rawutf8.h"
#include "platform/stopsignals.h"
#include "ui/km302resources.h"

namespace {

// Becomes km302-headless, beside this program in the build tree or in
// ../libexec/km302 when installed; returns only when that failed.
void ExecHeadless(char** argv)
{
    const QString folder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    for (const QString& candidate : {folder + QStringLiteral("/km302-headless"),
                                     folder + QStringLiteral("/../libexec/km302/km302-headless")}) {
        const QByteArray path = CRawUtf8::Encode(candidate);
        ::execv(path.constData(), argv);
    }
    std::fprintf(stderr, "km302: nie można uruchomić km302-headless: %s\n", std::strerror(errno));
}

// Whether the X server `name` (":0", "host:1.0") accepts a connection:
// QApplication's X11 platform aborts the whole program when it does not.
bool XServerAnswers(const QString& name)
{
    const QByteArray display = name.toLocal8Bit();
    xcb_connection_t* connection = xcb_connect(display.constData(), nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

// Why the window cannot show, or nothing. Only the X11 platform, Qt's
// choice when none is named, is checked: without DISPLAY (and without
// WAYLAND_DISPLAY when no platform is named), or with an X server that does
// not answer. A platform that needs no display server (offscreen, vnc, ...)
// or a Wayland session is left to Qt.
QString WhyNoDisplay(const QString& platformOption, const QString& displayOption)
{
    const QString platform =
        platformOption.isEmpty() ? qEnvironmentVariable("QT_QPA_PLATFORM").trimmed() : platformOption;
    if (!platform.isEmpty() && platform != QLatin1String("xcb"))
        return {};
    if (platform.isEmpty() && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return {};
    const QString display = displayOption.isEmpty() ? qEnvironmentVariable("DISPLAY") : displayOption;
    if (display.isEmpty())
        return QStringLiteral("brak ekranu: uruchom okno na pulpicie albo użyj --headless");
    if (!XServerAnswers(display))
        return QStringLiteral("brak połączenia z ekranem %1: uruchom okno na pulpicie albo użyj --headless")
            .arg(display);
    return {};
}

// What is not the window: --headless, --help, --version, a bad command line
// and a missing display, all answered before the application object (which
// needs a display and aborts without one) exists. -1: the window runs.
int AnswerBeforeTheWindow(int argc, char** argv)
{
    const QStringList arguments = ArgumentsOf(argc, argv);
    if (arguments.contains(QLatin1String("--headless"))) {
        ExecHeadless(argv);
        return 1;
    }
    QString platform;
    QString display;
    const CommandLine line = ParseCommandLine(WithoutToolkitOptions(arguments, &platform, &display));
    if (const int status = AnswerWithoutRunning(line); status >= 0)
        return status;
    if (const QString why = WhyNoDisplay(platform, display); !why.isEmpty()) {
        std::fprintf(stderr, "km302: %s\n", qPrintable(why));
        return 1;
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (const int status = AnswerBeforeTheWindow(argc, argv); status >= 0)
        return status;
    // A log that reaches a file-size limit is a failed write (a message), not
    // the end of the program.
    std::signal(SIGXFSZ, SIG_IGN);
    // A logout in the first moments must not end the program by the signal:
    // it is held until the main window's loop can close it as "Zamknij".
    CStopSignals::CatchEarly();
    QApplication app(argc, argv);
    // What QApplication left (its own options are gone) must be nothing; the
    // check before it knew its options by name, this one asks Qt itself.
    const CommandLine line = ParseCommandLine(QApplication::arguments().mid(1));
    if (!line.error.isEmpty()) {
        std::fprintf(stderr, "km302: %s\n%s", qPrintable(line.error), qPrintable(UsageText()));
        return 2;
    }
    CQtServices services;
    SetServices(&services);
    QApplication::setApplicationName(QStringLiteral("KM302"));
    InstallQtTranslations();
    QApplication::setWindowIcon(ProgramIcon());
    // Lets the desktop match the windows to pl.km302.KM302.desktop (its icon and name
    // in task bars, the Wayland application id).
    QApplication::setDesktopFileName(QStringLiteral("pl.km302.KM302"));
    CMeterApp meter(line);
    meter.InitInstance();
    SetServices(nullptr);
    return 0;
}
