#pragma once
// Number formatting as the program's texts, logs and DDE items need it:
// printf conversions with "." as the decimal point (independent of the locale
// in force), where a value exactly halfway between two outputs is rounded away
// from zero. glibc rounds such binary ties to even ("%.1f" of 0.25 gives
// "0.2"); here it gives "0.3", and -12.25 gives "-12.3".
//
// Pure functions; any thread.

#include <cstdarg>
#include <string>

// "%.<decimals>f" of value, ties away from zero. Otherwise as printf: a
// negative value that rounds to zero keeps its sign ("-0.0"), nan and inf are
// spelled as printf spells them, and a negative `decimals` means 6.
std::string FormatFixed(double value, int decimals);

// snprintf into a std::string, with every %f / %F conversion (any flags, width
// and precision, including *) rounded as FormatFixed does. Other conversions
// are exactly printf's. %n is not supported: it writes nothing.
std::string FormatPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatVPrintf(const char* format, va_list args) __attribute__((format(printf, 1, 0)));
