#include "dde/ddenames.h"

QString DdeNameKey(const QString& name)
{
    return name.normalized(QString::NormalizationForm_C).toCaseFolded();
}

int DdeCmpStringHandles(const QString& a, const QString& b)
{
    return QString::compare(a.normalized(QString::NormalizationForm_C),
                            b.normalized(QString::NormalizationForm_C), Qt::CaseInsensitive);
}
