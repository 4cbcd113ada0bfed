#pragma once
// The maker's texts and addresses of res/maker.inc, one function each
// (MakerAuthor(), MakerCompany(), MakerAddressBlock(), MakerMail(),
// MakerWebPage(), MakerKdsPage()).

#include <QString>

#define KM302_MAKER_TEXT(name, text) \
    inline QString Maker##name() { return QStringLiteral(text); }
#include "res/maker.inc"
#undef KM302_MAKER_TEXT
