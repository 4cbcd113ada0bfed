#include <QApplication>
#include <QDialog>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KM302"));
    QDialog window;
    window.setWindowTitle(QStringLiteral("KM302"));
    window.resize(600, 400);
    window.show();
    return app.exec();
}
