#include <QApplication>
#include <QIcon>

#include <csignal>

#include "app/meterapp.h"
#include "platform/qttranslations.h"
#include "platform/stopsignals.h"
#include "ui/km302resources.h"

int main(int argc, char** argv)
{
    // A log that reaches a file-size limit is a failed write (a message), not
    // the end of the program.
    std::signal(SIGXFSZ, SIG_IGN);
    // A logout in the first moments must not end the program by the signal:
    // it is held until the main window's loop can close it as "Zamknij".
    CStopSignals::CatchEarly();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KM302"));
    InstallQtTranslations();
    QApplication::setWindowIcon(ProgramIcon());
    // Lets the desktop match the windows to km302.desktop (its icon and name
    // in task bars, the Wayland application id).
    QApplication::setDesktopFileName(QStringLiteral("km302"));
    CMeterApp meter;
    meter.InitInstance();
    return 0;
}
