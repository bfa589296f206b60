#pragma once
// Texts that come back from the mail library: NUL-terminated cp932 bytes in fixed buffers.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace pelloway {

// The part of a text before its first NUL, or the whole text when it holds none.
QByteArray TrimAtNul(QByteArrayView bytes);
QString TrimAtNul(const QString& text);

} // namespace pelloway
