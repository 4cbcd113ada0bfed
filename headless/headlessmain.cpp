// km302-headless: KM302 without a display. Started by `km302 --headless`,
// which replaces itself with this program (same process, same arguments), so
// that no display or widget library is ever loaded for it.

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

#include "settings/commandline.h"
#include "headless/headlessapp.h"
#include "platform/rawutf8.h"
#include "platform/stopsignals.h"

int main(int argc, char** argv)
{
    // A log that reaches a file-size limit is a failed write, not the end.
    std::signal(SIGXFSZ, SIG_IGN);
    // A stop signal from the first moment ends the program through its loop.
    CStopSignals::CatchEarly();

    // Paths keep every byte (a name that is not UTF-8 included).
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << CRawUtf8::Decode(argv[i]);
    const CommandLine line = ParseCommandLine(arguments);
    if (!line.error.isEmpty()) {
        std::fprintf(stderr, "km302: %s\n%s", qPrintable(line.error), qPrintable(UsageText()));
        return 2;
    }
    if (line.help) {
        std::fputs(qPrintable(UsageText()), stdout);
        return 0;
    }
    if (line.version) {
        std::printf("%s\n", qPrintable(VersionText()));
        return 0;
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("KM302"));
    CHeadlessApp headless(line);
    return headless.Run();
}
