#include "support/TestSupport.h"

#include <QDir>
#include <QFile>

namespace pelloway::test {

QString SourceDir()
{
    return qEnvironmentVariable("PELLOWAY_SOURCE_DIR");
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

} // namespace pelloway::test
