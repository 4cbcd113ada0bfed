#include <QApplication>
#include <QIcon>

#include "app/meterapp.h"
#include "ui/km302resources.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KM302"));
    QApplication::setApplicationDisplayName(QStringLiteral("KM302"));
    QApplication::setWindowIcon(ProgramIcon());
    CMeterApp meter;
    meter.InitInstance();
    return 0;
}
