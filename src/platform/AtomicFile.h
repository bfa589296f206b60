#pragma once
// Writing files safely: the settings files are replaced in one step, under a lock on their
// folder.

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

// Takes every permission of group and others away from an existing file. True when there
// were any to take (and they are gone now).
bool RestrictToOwner(const QString& path);

// Holds an exclusive flock(2) on the file's folder while it lives: every writer of a file in
// that folder reads, changes and replaces it in turn. The folder, not the file, since each
// write puts a new file in the old one's place. Scripts take the same lock with flock(1) on
// the folder. Where the folder cannot be locked the write goes on unlocked.
class FolderLock
{
public:
    explicit FolderLock(const QString& file);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int m_fd;
};

} // namespace pelloway
