#pragma once
// Text in the system's ANSI code page, cp932 (Shift_JIS with the Windows extensions), as it
// crosses to the settings files and the mail library.

#include <QByteArray>
#include <QString>

namespace pelloway {

// Encodes to cp932. U+301C, U+2212 and U+00AC (which Linux input methods type) become
// U+FF5E, U+FF0D and U+FFE2 first, the characters cp932 holds for them. Characters that
// cp932 cannot hold become "?"; use CanEncodeAnsi to keep them out in the first place.
QByteArray ToAnsi(const QString& text);

// Decodes cp932 bytes.
QString FromAnsi(QByteArrayView bytes);

// True when every character of the text survives ToAnsi and FromAnsi unchanged (after the
// three mappings above).
bool CanEncodeAnsi(const QString& text);

// The text with the three input-method characters replaced by their cp932 counterparts.
QString NormalizeForAnsi(QString text);

} // namespace pelloway
