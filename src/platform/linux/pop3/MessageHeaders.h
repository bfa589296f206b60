#pragma once
// Header fields of a retrieved message, unfolded and with RFC 2047 encoded words decoded.

#include <QByteArrayView>
#include <QString>

namespace pelloway::pop3 {

// The first field called `name` (case-insensitive) in the header of `message` (up to the
// first empty line), unfolded and decoded; empty when there is none.
QString HeaderField(QByteArrayView message, QByteArrayView name);

// Decodes "=?charset?B?...?=" and "=?charset?Q?...?=" words of up to 75 characters; blanks
// between two encoded words are dropped. Undecodable words stay as they are. The time
// grows with the length of the text, never faster. Other bytes are read as UTF-8
// when they are valid UTF-8, else as cp932.
QString DecodeHeaderText(QByteArrayView raw);

} // namespace pelloway::pop3
