// The reference for the whole-program benchmark: the least a Qt Widgets
// program with one window costs, an empty QDialog. With a file name as its
// argument it saves a picture of the dialog there as soon as its event loop
// runs, as km302 does with KM302_SCREENSHOT_AFTER=0, so that both start-ups
// are seen from outside the same way.

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.resize(400, 300);
    if (argc > 1) {
        const QString path = QString::fromLocal8Bit(argv[1]);
        QTimer::singleShot(0, &dialog, [&dialog, path] {
            if (!dialog.grab().save(path, "PNG"))
                std::fprintf(stderr, "could not save the picture to %s\n", qPrintable(path));
        });
    }
    return dialog.exec();
}
