#include "plot/view/plotapplication.h"

#include <QApplication>
#include <QIcon>

#include "platform/qttranslations.h"

// Q_INIT_RESOURCE names a function at global scope; it must not be called
// from inside a namespace or a class.
static void InitPlotResources()
{
    Q_INIT_RESOURCE(km302_plot);
}

void CPlotApplication::Prepare()
{
    InitPlotResources();
    QApplication::setApplicationName(QStringLiteral("km302-plot"));
    QApplication::setDesktopFileName(QStringLiteral("pl.km302.KM302.Plot"));
    QIcon icon;
    icon.addFile(QStringLiteral(":/km302-plot/km302-32.png"));
    icon.addFile(QStringLiteral(":/km302-plot/km302.png"));
    QApplication::setWindowIcon(icon);
    InstallQtTranslations(QStringLiteral("pl"));
}
