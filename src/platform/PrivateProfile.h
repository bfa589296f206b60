#pragma once
// Private-profile (INI) files, read and written the way the Windows functions of the same
// names do. Section, key and value texts are cp932 bytes; paths are file-system paths.
//
// Reading:
//  - section and key names match without regard to case;
//  - blanks around "=" and at both ends of a value are dropped, and a value wrapped in one
//    pair of matching quotes (" or ') is read without them;
//  - lines whose first non-blank character is ";" are comments; lines before the first
//    section header and lines without "=" are ignored;
//  - of duplicate sections or keys the first one wins.
// Writing:
//  - an existing key's line becomes "key=value" (keeping the key's own spelling);
//  - a missing key is added after the last non-blank line of its section, a missing section
//    at the end of the file; new lines end in CR LF;
//  - every other line is kept byte for byte;
//  - the file is created when its folder exists and replaced atomically; a missing folder
//    makes the write fail (LastWriteError() says why);
//  - read, change and replace run under an exclusive flock(2) on the file's folder, so
//    concurrent writers (another copy of the program, `flock FOLDER cmd`) lose no update.

#include "platform/AtomicFile.h"

#include <QByteArray>
#include <QString>
#include <span>

namespace pelloway {

// Copies the key's value, cut to buffer.size() - 1 bytes, and a terminating NUL into the
// buffer; copies the default when the file, the section or the key is missing. Returns the
// number of bytes copied without the NUL.
int GetPrivateProfileStringA(QByteArrayView section, QByteArrayView key, QByteArrayView defaultValue,
                             std::span<char> buffer, const QString& path);

// The integer at the start of the key's value (optional sign, decimal digits); the default
// when the file, section or key is missing; 0 when the value starts with no number.
int GetPrivateProfileIntA(QByteArrayView section, QByteArrayView key, int defaultValue, const QString& path);

// Sets the key's value. Returns false when the file could not be written.
bool WritePrivateProfileStringA(QByteArrayView section, QByteArrayView key, QByteArrayView value,
                                const QString& path, FileAccess access = FileAccess::Default);

} // namespace pelloway
