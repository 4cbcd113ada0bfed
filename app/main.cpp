#include <QApplication>

#include "app/meterapp.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KM302"));
    QApplication::setApplicationDisplayName(QStringLiteral("KM302"));
    CMeterApp meter;
    meter.InitInstance();
    return 0;
}
