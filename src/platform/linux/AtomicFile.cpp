#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelloway {

namespace {

thread_local QString t_lastError;

// Records errno as the reason of the failing step and gives false.
bool failed()
{
    t_lastError = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool writeAll(int fd, const QByteArray& content)
{
    const char* p = content.constData();
    qsizetype left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failed();
        }
        p += n;
        left -= n;
    }
    return true;
}

} // namespace

bool WriteFileAtomically(const QString& path, const QByteArray& content, FileAccess access)
{
    const QByteArray target = QFile::encodeName(path);
    QByteArray temp = target + ".tmp-XXXXXX";
    t_lastError.clear();
    // A folder (or anything but a file) in the file's place would take the new file inside it,
    // or refuse the rename only after the write: say so before writing anything.
    struct stat existing;
    if (::stat(target.constData(), &existing) == 0 && S_ISDIR(existing.st_mode)) {
        errno = EISDIR;
        return failed();
    }
    const int fd = ::mkstemp(temp.data()); // created 0600
    if (fd < 0)
        return failed();

    mode_t mode = 0600;
    if (access == FileAccess::Default) {
        struct stat st;
        if (::stat(target.constData(), &st) == 0) {
            mode = st.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0644 & ~mask;
        }
    }

    bool ok =
        writeAll(fd, content) && (::fchmod(fd, mode) == 0 || failed()) && (::fsync(fd) == 0 || failed());
    ok = (::close(fd) == 0 || failed()) && ok;
    if (ok)
        ok = std::rename(temp.constData(), target.constData()) == 0 || failed();
    if (!ok) {
        const int saved = errno;
        ::unlink(temp.constData());
        errno = saved;
    }
    return ok;
}

QString LastWriteError()
{
    return t_lastError;
}

bool RestrictToOwner(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & 077) == 0)
        return false;
    return ::chmod(name.constData(), st.st_mode & 07700) == 0;
}

FolderLock::FolderLock(const QString& file)
    : m_fd(::open(QFile::encodeName(QFileInfo(file).absolutePath()).constData(),
                  O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
    if (m_fd >= 0) {
        while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
}

FolderLock::~FolderLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}

} // namespace pelloway
