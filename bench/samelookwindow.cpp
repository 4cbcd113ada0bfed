// The floor for km302's start-up and memory: a Qt dialog that looks like
// km302's window and does nothing else. A menu bar with the same menus, a
// caption, one big text painted in the display's font (Arial 60) and a
// read-only status field: the widgets, the fonts and the one paint that any
// program showing this window pays for. No port, no bus, no settings, no
// timers. With a file name as its argument it saves a picture of the window
// there as soon as its event loop runs, as km302 does with
// KM302_SCREENSHOT_AFTER=0, so that both start-ups are seen from outside the
// same way.

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

namespace {

// The big value, centred, as the display paints it.
class CBigText : public QWidget {
public:
    CBigText()
    {
        setMinimumSize(200, 80);
        setAutoFillBackground(true);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(60);
        painter.setFont(font);
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("1013.2"));
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.resize(600, 400);   // km302's window at its first start
    dialog.setWindowTitle(QStringLiteral("KM302"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* menus = new QMenuBar(&dialog);
    for (const char* title : {"&Program", "&Widok", "&Ustawienia", "Pomo&c"})
        menus->addMenu(QString::fromUtf8(title))->addAction(QStringLiteral("&Zamknij"));
    layout->setMenuBar(menus);
    layout->addWidget(new QLabel(QStringLiteral("Ciśnienie [hPa]")));
    layout->addWidget(new CBigText, 1);
    auto* status = new QLineEdit(QStringLiteral("Port COM40: 300 bodów, rejestracja wyłączona"));
    status->setReadOnly(true);
    layout->addWidget(status);
    if (argc > 1) {
        const QString path = QString::fromLocal8Bit(argv[1]);
        QTimer::singleShot(0, &dialog, [&dialog, path] {
            if (!dialog.grab().save(path, "PNG"))
                std::fprintf(stderr, "could not save the picture to %s\n", qPrintable(path));
        });
    }
    return dialog.exec();
}
