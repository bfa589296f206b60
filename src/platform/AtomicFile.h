#pragma once

#include <QByteArray>
#include <QString>

namespace pelloway {

enum class FileAccess
{
    Default,   // keep an existing file's mode; a new file gets 0644 (less the umask)
    OwnerOnly, // 0600, and an existing file is tightened to it
};

// Replaces the file's content in one step: a temporary file in the same folder is written,
// flushed to disk and renamed over the target. A failure at any point leaves the previous
// file whole. Returns false when the folder is missing or the write fails.
bool WriteFileAtomically(const QString& path, const QByteArray& content,
                         FileAccess access = FileAccess::Default);

// Why the last failed write of this thread failed, in the system's words ("Is a directory",
// "No space left on device"); empty after a write that succeeded.
QString LastWriteError();

} // namespace pelloway
