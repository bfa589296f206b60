#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace pelloway::test {

QString SourceDir()
{
    return qEnvironmentVariable("PELLOWAY_SOURCE_DIR");
}

void StopProcess(QProcess& process, int graceMs)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(graceMs)) {
        process.kill();
        process.waitForFinished();
    }
}

AppFolder::AppFolder(bool withDataFolder)
{
    if (!withDataFolder)
        return;
    QDir root(m_dir.path());
    root.mkpath(QStringLiteral("★MailData"));
    root.mkpath(QStringLiteral("Sound"));
    const QString pictures = SourceDir() + QStringLiteral("/assets/★MailData");
    for (const QString& name : QDir(pictures).entryList({QStringLiteral("*.gif")}, QDir::Files))
        QFile::copy(pictures + u'/' + name, dataPath() + u'/' + name);
}

QString AppFolder::dataPath() const
{
    return path() + QStringLiteral("/★MailData");
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

StderrCapture::StderrCapture()
{
    std::fflush(stderr);
    const int fd = ::open(QFile::encodeName(m_dir.filePath(QStringLiteral("stderr"))).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return;
    m_saved = ::dup(2);
    ::dup2(fd, 2);
    ::close(fd);
}

StderrCapture::~StderrCapture()
{
    take();
}

QByteArray StderrCapture::take()
{
    if (m_saved < 0)
        return {};
    std::fflush(stderr);
    ::dup2(m_saved, 2);
    ::close(m_saved);
    m_saved = -1;
    return ReadBytes(m_dir.filePath(QStringLiteral("stderr")));
}

} // namespace pelloway::test
