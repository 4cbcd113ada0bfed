#include "platform/helppage.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

bool IsProgram(const QString& name, const QStringList& searchPath)
{
    if (name.isEmpty())
        return false;
    if (name.contains(QLatin1Char('/'))) {
        const QFileInfo info(name);
        return info.isFile() && info.isExecutable();
    }
    // findExecutable with no folders would search the process's own PATH.
    return !searchPath.isEmpty() && !QStandardPaths::findExecutable(name, searchPath).isEmpty();
}

QString FirstWord(const QString& command)
{
    QString word = command.trimmed().section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    if (word.size() >= 2 && word.startsWith(QLatin1Char('"')) && word.endsWith(QLatin1Char('"')))
        word = word.mid(1, word.size() - 2);
    return word;
}

// Whether the application entry `file` shows text/html without a terminal.
bool ShowsHtml(const QString& file, const QStringList& searchPath)
{
    QFile entry(file);
    if (!entry.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    bool inMainGroup = false;
    bool html = false;
    bool terminal = false;
    bool hidden = false;
    QString exec;
    QString tryExec;
    while (!entry.atEnd()) {
        const QString line = QString::fromUtf8(entry.readLine(64 * 1024)).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inMainGroup || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QLatin1String("MimeType"))
            html = value.split(QLatin1Char(';')).contains(QLatin1String("text/html"));
        else if (key == QLatin1String("Terminal"))
            terminal = value == QLatin1String("true");
        else if (key == QLatin1String("Hidden"))
            hidden = value == QLatin1String("true");
        else if (key == QLatin1String("Exec"))
            exec = value;
        else if (key == QLatin1String("TryExec"))
            tryExec = value;
    }
    return html && !terminal && !hidden && IsProgram(tryExec.isEmpty() ? FirstWord(exec) : tryExec, searchPath);
}

}  // namespace

QString HelpPagePath()
{
    const QStringList candidates = {
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/km302/help/KM302.html"),
        QStringLiteral(KM302_SOURCE_DIR "/res/help/KM302.html"),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile())
            return QFileInfo(candidate).canonicalFilePath();
    }
    return {};
}

QUrl HelpPageUrl(const QString& page, int topic)
{
    QUrl url = QUrl::fromLocalFile(page);
    url.setFragment(QStringLiteral("topic%1").arg(topic));
    return url;
}

bool HtmlViewerAvailable(const QProcessEnvironment& environment)
{
    const QStringList searchPath = environment.value(QStringLiteral("PATH")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& command : environment.value(QStringLiteral("BROWSER")).split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (IsProgram(FirstWord(command), searchPath))
            return true;
    }
    if (IsProgram(QStringLiteral("x-www-browser"), searchPath))
        return true;

    QString dataHome = environment.value(QStringLiteral("XDG_DATA_HOME"));
    if (dataHome.isEmpty() && !environment.value(QStringLiteral("HOME")).isEmpty())
        dataHome = environment.value(QStringLiteral("HOME")) + QStringLiteral("/.local/share");
    QString dataDirs = environment.value(QStringLiteral("XDG_DATA_DIRS"));
    if (dataDirs.isEmpty())
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    QStringList dirs = dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (!dataHome.isEmpty())
        dirs.prepend(dataHome);
    for (const QString& dir : dirs) {
        QDirIterator entries(dir + QStringLiteral("/applications"), {QStringLiteral("*.desktop")}, QDir::Files,
                             QDirIterator::Subdirectories);
        while (entries.hasNext()) {
            if (ShowsHtml(entries.next(), searchPath))
                return true;
        }
    }
    return false;
}
