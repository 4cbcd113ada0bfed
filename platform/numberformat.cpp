#include "platform/numberformat.h"

#include <bit>
#include <charconv>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <locale.h>

namespace {

// Correctly rounded "%.<precision>f" (binary ties to even), independent of
// the locale: the Qt application object sets the user's locale, whose decimal
// point may be a comma.
std::string Fixed(double value, int precision)
{
    std::string text(static_cast<std::size_t>(precision) + 330, '\0');
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value,
                                      std::chars_format::fixed, precision);
    text.resize(static_cast<std::size_t>(result.ptr - text.data()));
    return text;
}

// A value lies exactly halfway between two outputs with `decimals` decimals
// when its exact decimal expansion has decimals + 1 digits after the point and
// ends in 5. Written as m * 2^q with m odd, a value with q < 0 has exactly -q
// decimals, the last being 5 (m * 5^-q is odd and a multiple of 5).
bool IsTie(double value, int decimals)
{
    if (value == 0.0 || !std::isfinite(value))
        return false;
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(value), &exponent);
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    const long long q = static_cast<long long>(exponent) - 53 + std::countr_zero(mantissa);
    return q == -(static_cast<long long>(decimals) + 1);
}

// Adds one unit in the last place to an unsigned decimal text.
void IncrementLastDigit(std::string& digits)
{
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it == '.')
            continue;
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    digits.insert(digits.begin(), '1');
}

std::string FixedConversion(double value, const std::string& flags, int width, int precision,
                            bool upper)
{
    std::string text = FormatFixed(value, precision);
    const bool finite = std::isfinite(value);
    if (upper) {
        for (char& c : text)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (finite && precision == 0 && flags.find('#') != std::string::npos)
        text += '.';
    if (text[0] != '-') {
        if (flags.find('+') != std::string::npos)
            text.insert(text.begin(), '+');
        else if (flags.find(' ') != std::string::npos)
            text.insert(text.begin(), ' ');
    }
    if (width > 0 && text.size() < static_cast<std::size_t>(width)) {
        const std::size_t pad = static_cast<std::size_t>(width) - text.size();
        if (flags.find('-') != std::string::npos) {
            text.append(pad, ' ');
        } else if (finite && flags.find('0') != std::string::npos) {
            const bool hasSign = text[0] == '-' || text[0] == '+' || text[0] == ' ';
            text.insert(hasSign ? 1 : 0, pad, '0');
        } else {
            text.insert(0, pad, ' ');
        }
    }
    return text;
}

template <typename T>
void AppendConversion(std::string& out, const std::string& conversionFormat, T value)
{
    const int length = std::snprintf(nullptr, 0, conversionFormat.c_str(), value);
    if (length <= 0)
        return;
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(length) + 1);
    std::snprintf(&out[start], static_cast<std::size_t>(length) + 1, conversionFormat.c_str(), value);
    out.resize(start + static_cast<std::size_t>(length));
}

// The C library's own conversions run in the "C" locale on this thread.
class CLocaleScope {
public:
    CLocaleScope()
    {
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
        if (cLocale)
            m_previous = uselocale(cLocale);
    }
    ~CLocaleScope()
    {
        if (m_previous)
            uselocale(m_previous);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t m_previous = locale_t(nullptr);
};

int ParseNumber(const char*& p)
{
    int number = 0;
    while (*p >= '0' && *p <= '9') {
        if (number < 100000000)
            number = number * 10 + (*p - '0');
        ++p;
    }
    return number;
}

}  // namespace

std::string FormatFixed(double value, int decimals)
{
    if (decimals < 0)
        decimals = 6;
    if (!IsTie(value, decimals))
        return Fixed(value, decimals);
    // One more decimal is exact and ends in the 5 that is dropped; the rest is
    // rounded up in magnitude.
    std::string text = Fixed(std::fabs(value), decimals + 1);
    text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    IncrementLastDigit(text);
    if (std::signbit(value))
        text.insert(text.begin(), '-');
    return text;
}

std::string FormatPrintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = FormatVPrintf(format, args);
    va_end(args);
    return text;
}

std::string FormatVPrintf(const char* format, va_list args)
{
    const CLocaleScope cLocale;
    va_list ap;
    va_copy(ap, args);
    std::string out;
    const char* p = format;
    while (*p) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        const char* start = p++;
        if (*p == '%') {
            out += '%';
            ++p;
            continue;
        }
        std::string flags;
        while (*p && std::strchr("-+ #0'", *p))
            flags += *p++;
        int width = -1;
        if (*p == '*') {
            ++p;
            width = va_arg(ap, int);
            if (width < 0) {
                flags += '-';
                width = width == INT_MIN ? 0 : -width;
            }
        } else if (*p >= '0' && *p <= '9') {
            width = ParseNumber(p);
        }
        int precision = -1;
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                ++p;
                precision = va_arg(ap, int);
                if (precision < 0)
                    precision = -1;
            } else {
                precision = ParseNumber(p);
            }
        }
        std::string length;
        while (*p && std::strchr("hlLqjzt", *p))
            length += *p++;
        const char conversion = *p;
        if (!conversion) {
            out.append(start, p);
            break;
        }
        ++p;
        std::string conversionFormat = "%" + flags;
        if (width >= 0)
            conversionFormat += std::to_string(width);
        if (precision >= 0) {
            conversionFormat += '.';
            conversionFormat += std::to_string(precision);
        }
        conversionFormat += length;
        conversionFormat += conversion;
        const bool isLong = length == "l";
        const bool isLongLong = length == "ll" || length == "q";
        switch (conversion) {
        case 'f':
        case 'F':
            if (length == "L")
                AppendConversion(out, conversionFormat, va_arg(ap, long double));
            else
                out += FixedConversion(va_arg(ap, double), flags, width,
                                       precision < 0 ? 6 : precision, conversion == 'F');
            break;
        case 'e': case 'E': case 'g': case 'G': case 'a': case 'A':
            if (length == "L")
                AppendConversion(out, conversionFormat, va_arg(ap, long double));
            else
                AppendConversion(out, conversionFormat, va_arg(ap, double));
            break;
        case 'd': case 'i': case 'o': case 'u': case 'x': case 'X':
            if (isLong)
                AppendConversion(out, conversionFormat, va_arg(ap, long));
            else if (isLongLong)
                AppendConversion(out, conversionFormat, va_arg(ap, long long));
            else if (length == "j")
                AppendConversion(out, conversionFormat, va_arg(ap, std::intmax_t));
            else if (length == "z")
                AppendConversion(out, conversionFormat, va_arg(ap, std::size_t));
            else if (length == "t")
                AppendConversion(out, conversionFormat, va_arg(ap, std::ptrdiff_t));
            else
                AppendConversion(out, conversionFormat, va_arg(ap, int));
            break;
        case 'c':
            if (isLong)
                AppendConversion(out, conversionFormat, va_arg(ap, wint_t));
            else
                AppendConversion(out, conversionFormat, va_arg(ap, int));
            break;
        case 's':
            if (isLong)
                AppendConversion(out, conversionFormat, va_arg(ap, const wchar_t*));
            else
                AppendConversion(out, conversionFormat, va_arg(ap, const char*));
            break;
        case 'p':
            AppendConversion(out, conversionFormat, va_arg(ap, void*));
            break;
        case 'n':
            (void)va_arg(ap, void*);
            break;
        default:
            out.append(start, p);
            break;
        }
    }
    va_end(ap);
    return out;
}
