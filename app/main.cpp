#include <QApplication>
#include <QFileInfo>
#include <QIcon>

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "app/commandline.h"
#include "app/meterapp.h"
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

// What is not the window: --headless, --help, --version, checked before the
// application object (which needs a display) exists. -1: the window runs.
int AnswerBeforeTheWindow(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << CRawUtf8::Decode(argv[i]);
    if (arguments.contains(QLatin1String("--headless"))) {
        ExecHeadless(argv);
        return 1;
    }
    const CommandLine line = ParseCommandLine(arguments);
    if (line.help && line.error.isEmpty()) {
        std::fputs(qPrintable(UsageText()), stdout);
        return 0;
    }
    if (line.version && line.error.isEmpty()) {
        std::printf("%s\n", qPrintable(VersionText()));
        return 0;
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
    // What QApplication left (its own options are gone) must be nothing.
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
    CMeterApp meter;
    meter.InitInstance();
    SetServices(nullptr);
    return 0;
}
