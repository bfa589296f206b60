#include "mail/NMailText.h"

namespace pelloway {

QByteArray TrimAtNul(QByteArrayView bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    return (nul < 0 ? bytes : bytes.first(nul)).toByteArray();
}

QString TrimAtNul(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.first(nul);
}

} // namespace pelloway
