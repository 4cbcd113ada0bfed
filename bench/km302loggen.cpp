// km302-loggen: writes long test logs for the chart viewer's benchmarks.
//   km302-loggen [--records N] [--step SECONDS] [--vrd FILE] [--csv FILE]

#include <QCoreApplication>
#include <QString>

#include <cstdio>

#include "bench/loggenerator.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    CLogGenerator generator;
    QString vrd;
    QString csv;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString& option = args[i];
        const QString& value = args[i + 1];
        if (option == QLatin1String("--records"))
            generator.m_nRecords = value.toLongLong();
        else if (option == QLatin1String("--step"))
            generator.m_nStepSeconds = std::max(1, value.toInt());
        else if (option == QLatin1String("--vrd"))
            vrd = value;
        else if (option == QLatin1String("--csv"))
            csv = value;
        else
            break;
    }
    if (args.size() % 2 == 0 || (vrd.isEmpty() && csv.isEmpty())) {
        std::fprintf(stderr, "usage: km302-loggen [--records N] [--step SECONDS] [--vrd FILE] [--csv FILE]\n"
                             "(a year of 1-second records by default)\n");
        return 2;
    }
    return generator.Write(vrd, csv) ? 0 : 1;
}
