#include "platform/filefilter.h"

#include <QRegularExpression>

QStringList QtNameFiltersFromWindows(const QString& windowsFilter)
{
    // The filter ends at the first empty field, "||".
    const qsizetype end = windowsFilter.indexOf(QLatin1String("||"));
    const QStringList fields = windowsFilter.left(end < 0 ? windowsFilter.size() : end)
                                   .split(QLatin1Char('|'));
    static const QRegularExpression trailingPatterns(QStringLiteral("\\s*\\([^()]*[*?][^()]*\\)\\s*$"));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        QStringList patterns = fields[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            pattern = pattern.trimmed();
        patterns.removeAll(QString());
        if (patterns.isEmpty())
            continue;
        const QString joined = patterns.join(QLatin1Char(' '));
        QString name = fields[i];
        name.remove(trailingPatterns);
        name = name.trimmed();
        filters.append(name.isEmpty() ? joined
                                      : name + QStringLiteral(" (") + joined + QLatin1Char(')'));
    }
    return filters;
}

int FilterIndexOf(const QStringList& filters, const QString& selected)
{
    if (filters.isEmpty())
        return 0;
    const qsizetype index = filters.indexOf(selected);
    return index < 0 ? 1 : static_cast<int>(index) + 1;
}

QString FilterAtIndex(const QStringList& filters, int index)
{
    if (filters.isEmpty())
        return QString();
    if (index < 1 || index > filters.size())
        return filters.first();
    return filters[index - 1];
}

int ExtensionOffset(const QString& path)
{
    const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot <= nameStart || dot + 1 >= path.size())
        return 0;
    return static_cast<int>(dot) + 1;
}
