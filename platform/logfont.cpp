#include "platform/logfont.h"

#include <algorithm>
#include <cstring>

void LOGFONT::SetFaceName(const std::string& name)
{
    std::size_t n = std::min<std::size_t>(name.size(), LF_FACESIZE - 1);
    // Do not cut a UTF-8 sequence in half: back up to the start of the character.
    if (n < name.size()) {
        while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80)
            --n;
    }
    lfFaceName.fill(0);
    std::memcpy(lfFaceName.data(), name.data(), n);
}

std::string LOGFONT::FaceName() const
{
    return std::string(lfFaceName.data(), strnlen(lfFaceName.data(), LF_FACESIZE));
}
