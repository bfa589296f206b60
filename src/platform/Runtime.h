#pragma once
// The small runtime services the rest of the program leans on: reading a number from a
// text, rounding, and where the program lives.

#include <QString>
#include <cstdint>

namespace pelloway {

// The numeric value of a text, read from its start. Blanks, tabs and line feeds are skipped
// wherever they stand; then an optional sign, digits, an optional decimal point with digits
// and an optional exponent (E or D) are taken; the first other character ends the number.
// "&H" and "&O" read hexadecimal and octal digits. A text that starts with no number gives 0.
double TextValue(const QString& text);

// Nearest whole number, ties to the even one (2.5 -> 2, 1.5 -> 2, -2.5 -> -2).
// Values outside the target range are clamped into it.
std::int32_t RoundToInt32(double value);
std::int16_t RoundToInt16(double value);

// The numeric id of the user the program runs as.
unsigned UserId();

// The folder that holds the executable, without a trailing separator except at the root.
QString AppPath();

// Forms a path by appending a literal suffix, with no test for a separator (the suffix brings
// its own, as in AppPath() + "/★MailData/ini.ini").
inline QString AppendPath(const QString& folder, const QString& suffix)
{
    return folder + suffix;
}

// The data folder's name and the suffixes that reach into it.
inline const QString DataFolderSuffix = QStringLiteral("/★MailData");

} // namespace pelloway
