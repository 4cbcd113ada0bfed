// Prints the MIME type of the file named on the command line as QMimeDatabase
// finds it (name and content) from the XDG folders of its environment. A
// process of its own: the database reads those folders once.
#include <QCoreApplication>
#include <QMimeDatabase>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    std::printf("%s\n", qPrintable(QMimeDatabase().mimeTypeForFile(QString::fromLocal8Bit(argv[1])).name()));
    return 0;
}
