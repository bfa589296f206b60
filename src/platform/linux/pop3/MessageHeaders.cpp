#include "platform/linux/pop3/MessageHeaders.h"

#include "platform/Ansi.h"

#include <QByteArray>
#include <QStringDecoder>
#include <algorithm>

namespace pelloway::pop3 {

namespace {

// RFC 2047: an encoded word is at most 75 characters long.
constexpr qsizetype MaxEncodedWord = 75;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QString DecodeBytes(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return FromAnsi(bytes);
}

QByteArray DecodeQ(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_') {
            out.append(' ');
        } else if (c == '=' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out.append(char(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            out.append(c);
        }
    }
    return out;
}

// Decodes one "=?charset?enc?text?=" word; false when it is not one we can decode.
bool DecodeWord(QByteArrayView word, QString& out)
{
    if (!word.startsWith("=?") || !word.endsWith("?=") || word.size() < 8)
        return false;
    const QByteArrayView inner = word.sliced(2, word.size() - 4);
    const qsizetype q1 = inner.indexOf('?');
    if (q1 <= 0 || q1 + 2 >= inner.size() || inner[q1 + 2] != '?')
        return false;
    QByteArray charset = inner.first(q1).toByteArray();
    const qsizetype star = charset.indexOf('*'); // RFC 2231 language suffix
    if (star >= 0)
        charset.truncate(star);
    const char encoding = inner[q1 + 1];
    const QByteArrayView payload = inner.sliced(q1 + 3);
    QByteArray bytes;
    if (encoding == 'B' || encoding == 'b') {
        auto result =
            QByteArray::fromBase64Encoding(payload.toByteArray(), QByteArray::AbortOnBase64DecodingErrors);
        if (!result)
            return false;
        bytes = *result;
    } else if (encoding == 'Q' || encoding == 'q') {
        bytes = DecodeQ(payload);
    } else {
        return false;
    }
    const QByteArray lower = charset.toLower();
    if (lower == "shift_jis" || lower == "sjis" || lower == "cp932" || lower == "windows-31j") {
        out = FromAnsi(bytes);
        return true;
    }
    QStringDecoder decoder(charset.constData(), QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        return false;
    out = decoder.decode(bytes);
    return true;
}

} // namespace

QString DecodeHeaderText(QByteArrayView raw)
{
    const qsizetype n = raw.size();
    // The next blank, '?' and "?=" at or after a position. Each is asked about positions
    // that never go back, so a found one is reused until the scan passes it and no byte is
    // searched twice: the decoding stays linear whatever the text.
    struct Next
    {
        qsizetype at = -1;
        qsizetype find(QByteArrayView text, qsizetype from, bool (*is)(QByteArrayView, qsizetype))
        {
            if (at >= from)
                return at;
            at = from;
            while (at < text.size() && !is(text, at))
                ++at;
            return at;
        }
    };
    Next nextBlank, nextMark, nextClose;
    const auto isBlank = [](QByteArrayView text, qsizetype i) { return IsBlank(text[i]); };
    const auto isMark = [](QByteArrayView text, qsizetype i) { return text[i] == '?'; };
    const auto isClose = [](QByteArrayView text, qsizetype i) {
        return text[i] == '?' && i + 1 < text.size() && text[i + 1] == '=';
    };
    // The end of the encoded word "=?charset?e?text?=" starting at `i`, or -1: no blanks in
    // it, and at most MaxEncodedWord characters long.
    const auto wordEnd = [&](qsizetype i) -> qsizetype {
        const qsizetype stop = std::min({n, i + MaxEncodedWord, nextBlank.find(raw, i + 2, isBlank)});
        const qsizetype mark = nextMark.find(raw, i + 2, isMark);
        if (mark == i + 2 || mark + 2 >= stop || raw[mark + 2] != '?')
            return -1;
        const qsizetype close = nextClose.find(raw, mark + 3, isClose);
        return close + 2 <= stop ? close + 2 : -1;
    };

    QString out;
    QByteArray plain; // undecoded bytes waiting to be appended
    QByteArray pendingBlanks;
    bool lastWasEncoded = false;
    qsizetype i = 0;
    while (i < n) {
        if (raw[i] == '=' && i + 1 < n && raw[i + 1] == '?') {
            const qsizetype end = wordEnd(i);
            QString decoded;
            if (end > 0 && DecodeWord(raw.sliced(i, end - i), decoded)) {
                if (!lastWasEncoded)
                    plain += pendingBlanks;
                out += DecodeBytes(plain);
                plain.clear();
                pendingBlanks.clear();
                out += decoded;
                lastWasEncoded = true;
                i = end;
                continue;
            }
        }
        if (IsBlank(raw[i])) {
            pendingBlanks.append(raw[i]);
            ++i;
            continue;
        }
        plain += pendingBlanks;
        pendingBlanks.clear();
        lastWasEncoded = false;
        qsizetype end = i + 1;
        while (end < n && !IsBlank(raw[end]) && !(raw[end] == '=' && end + 1 < n && raw[end + 1] == '?'))
            ++end;
        plain.append(raw.data() + i, end - i);
        i = end;
    }
    plain += pendingBlanks;
    out += DecodeBytes(plain);
    return out;
}

QString HeaderField(QByteArrayView message, QByteArrayView name)
{
    // The line starting at pos without its line end; pos moves past it.
    auto nextLine = [&message](qsizetype& pos) {
        qsizetype end = message.indexOf('\n', pos);
        if (end < 0)
            end = message.size();
        QByteArrayView line = message.sliced(pos, end - pos);
        if (line.endsWith('\r'))
            line.chop(1);
        pos = end + 1;
        return line;
    };
    qsizetype pos = 0;
    while (pos < message.size()) {
        const QByteArrayView line = nextLine(pos);
        if (line.isEmpty())
            return {}; // end of the header
        const qsizetype colon = line.indexOf(':');
        if (!IsBlank(line.front()) && colon == name.size() &&
            line.first(colon).compare(name, Qt::CaseInsensitive) == 0) {
            QByteArray value = line.sliced(colon + 1).toByteArray();
            // Continuation lines start with a blank.
            while (pos < message.size() && IsBlank(message[pos]))
                value += nextLine(pos);
            value.replace('\0', ' ');
            return DecodeHeaderText(value.trimmed()).trimmed();
        }
    }
    return {};
}

} // namespace pelloway::pop3
