#include "platform/Ansi.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace pelloway {

namespace {

// Qt's ICU-backed "Shift_JIS" codec is cp932 on this system (it holds the NEC and IBM
// extensions, so ① and 髙 round-trip).
constexpr const char* kCodec = "Shift_JIS";

} // namespace

QString NormalizeForAnsi(QString text)
{
    for (QChar& c : text) {
        switch (c.unicode()) {
        case 0x301C: // WAVE DASH -> FULLWIDTH TILDE
            c = QChar(0xFF5E);
            break;
        case 0x2212: // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS
            c = QChar(0xFF0D);
            break;
        case 0x00AC: // NOT SIGN -> FULLWIDTH NOT SIGN
            c = QChar(0xFFE2);
            break;
        default:
            break;
        }
    }
    return text;
}

QByteArray ToAnsi(const QString& text)
{
    QStringEncoder encoder(kCodec, QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        return text.toLatin1();
    return encoder.encode(NormalizeForAnsi(text));
}

QString FromAnsi(QByteArrayView bytes)
{
    QStringDecoder decoder(kCodec, QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

bool CanEncodeAnsi(const QString& text)
{
    const QString normal = NormalizeForAnsi(text);
    QStringEncoder encoder(kCodec, QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        return false;
    const QByteArray bytes = encoder.encode(normal);
    if (encoder.hasError())
        return false;
    return FromAnsi(bytes) == normal;
}

} // namespace pelloway
