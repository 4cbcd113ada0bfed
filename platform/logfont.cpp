#include "platform/logfont.h"

#include <algorithm>

void LOGFONT::SetFaceName(QStringView name)
{
    qsizetype n = std::min<qsizetype>(name.size(), LF_FACESIZE - 1);
    // A surrogate pair is one character: it goes whole or not at all.
    if (n > 0 && n < name.size() && name[n - 1].isHighSurrogate() && name[n].isLowSurrogate())
        --n;
    lfFaceName.fill(0);
    std::copy_n(name.utf16(), n, lfFaceName.begin());
}

void LOGFONT::SetFaceName(const std::string& name)
{
    SetFaceName(QString::fromStdString(name));
}

QString LOGFONT::FaceNameText() const
{
    const auto end = std::find(lfFaceName.begin(), lfFaceName.end(), u'\0');
    return QString::fromUtf16(lfFaceName.data(), end - lfFaceName.begin());
}

std::string LOGFONT::FaceName() const
{
    return FaceNameText().toStdString();
}
