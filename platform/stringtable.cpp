#include "platform/stringtable.h"

QString LoadString(UINT id)
{
    switch (id) {
#define KM302_STRING(number, text) \
    case number:                   \
        return QStringLiteral(text);
#include "res/strings.inc"
#undef KM302_STRING
    default:
        return QString();
    }
}
