// km302-headless: KM302 without a display. Started by `km302 --headless`,
// which replaces itself with this program (same process, same arguments), so
// that no display or widget library is ever loaded for it.

#include <QCoreApplication>

#include <csignal>

#include "settings/commandline.h"
#include "headless/headlessapp.h"
#include "platform/stopsignals.h"

int main(int argc, char** argv)
{
    // A log that reaches a file-size limit is a failed write, not the end.
    std::signal(SIGXFSZ, SIG_IGN);
    // A stop signal from the first moment ends the program through its loop.
    CStopSignals::CatchEarly();

    const QStringList arguments = ArgumentsOf(argc, argv);
    const CommandLine line = ParseCommandLine(arguments);
    if (const int status = AnswerWithoutRunning(line); status >= 0)
        return status;

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("KM302"));
    CHeadlessApp headless(line);
    return headless.Run();
}
