#include "platform/Runtime.h"

#include <QCoreApplication>
#include <cmath>
#include <limits>

namespace pelloway {

namespace {

bool isSkipped(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

// The characters of the text with the skipped ones removed, so "1 2" reads as 12.
QString withoutBlanks(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (!isSkipped(c))
            out.append(c);
    }
    return out;
}

double radixValue(const QString& s, qsizetype from, int radix)
{
    double value = 0;
    qsizetype i = from;
    for (; i < s.size(); ++i) {
        int digit = -1;
        const char16_t c = s[i].unicode();
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (radix == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (radix == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        if (digit < 0 || digit >= radix)
            break;
        value = value * radix + digit;
    }
    return value;
}

} // namespace

double TextValue(const QString& text)
{
    const QString s = withoutBlanks(text);
    if (s.size() >= 2 && s[0] == u'&') {
        const QChar kind = s[1].toUpper();
        if (kind == u'H')
            return radixValue(s, 2, 16);
        if (kind == u'O')
            return radixValue(s, 2, 8);
        return 0;
    }

    // Collect the longest prefix of the form [sign] digits [. digits] [E|D [sign] digits]
    // as plain ASCII and let the C library convert it exactly.
    std::string number;
    qsizetype i = 0;
    auto at = [&](qsizetype k) -> char16_t { return k < s.size() ? s[k].unicode() : u'\0'; };
    if (at(i) == u'+' || at(i) == u'-')
        number.push_back(char(at(i++)));
    bool digits = false;
    while (at(i) >= u'0' && at(i) <= u'9') {
        number.push_back(char(at(i++)));
        digits = true;
    }
    if (at(i) == u'.') {
        number.push_back('.');
        ++i;
        while (at(i) >= u'0' && at(i) <= u'9') {
            number.push_back(char(at(i++)));
            digits = true;
        }
    }
    if (!digits)
        return 0;
    const char16_t e = at(i);
    if (e == u'e' || e == u'E' || e == u'd' || e == u'D') {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (at(j) == u'+' || at(j) == u'-')
            exponent.push_back(char(at(j++)));
        bool expDigits = false;
        while (at(j) >= u'0' && at(j) <= u'9') {
            exponent.push_back(char(at(j++)));
            expDigits = true;
        }
        if (expDigits)
            number += exponent;
    }
    const double value = std::strtod(number.c_str(), nullptr);
    return std::isfinite(value)
               ? value
               : (value > 0 ? std::numeric_limits<double>::max() : std::numeric_limits<double>::lowest());
}

namespace {

template <typename Int> Int roundToEven(double value)
{
    if (std::isnan(value))
        return 0;
    const double r = std::nearbyint(value); // default rounding mode: to nearest, ties to even
    if (r <= double(std::numeric_limits<Int>::min()))
        return std::numeric_limits<Int>::min();
    if (r >= double(std::numeric_limits<Int>::max()))
        return std::numeric_limits<Int>::max();
    return static_cast<Int>(r);
}

} // namespace

std::int32_t RoundToInt32(double value)
{
    return roundToEven<std::int32_t>(value);
}

std::int16_t RoundToInt16(double value)
{
    return roundToEven<std::int16_t>(value);
}

QString AppPath()
{
    return QCoreApplication::applicationDirPath();
}

} // namespace pelloway
