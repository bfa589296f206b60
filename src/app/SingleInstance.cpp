#include "app/SingleInstance.h"

#include "platform/Runtime.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace pelloway {

namespace {

constexpr QByteArrayView ShowRequest = "show\n";
constexpr QByteArrayView ShownReply = "shown\n";

QString baseName(const QString& runtimeFolder, const QString& key)
{
    const QByteArray digest =
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return runtimeFolder + QStringLiteral("/pelloway-%1-%2").arg(UserId()).arg(QString::fromLatin1(digest));
}

} // namespace

QString RuntimeFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

SingleInstance::SingleInstance(const QString& runtimeFolder, const QString& key)
    : m_socketPath(baseName(runtimeFolder, key) + QStringLiteral(".socket")),
      m_lock(baseName(runtimeFolder, key) + QStringLiteral(".lock"))
{
    // Only a dead holder makes the lock stale, however long the first copy runs.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    if (m_server) {
        m_server->close();
        QLocalServer::removeServer(m_socketPath);
    }
}

SingleInstance::Outcome SingleInstance::Claim(int patienceMs)
{
    const QDeadlineTimer deadline(patienceMs);
    for (;;) {
        if (m_lock.tryLock(0)) {
            m_server = std::make_unique<QLocalServer>();
            m_server->setSocketOptions(QLocalServer::UserAccessOption);
            QLocalServer::removeServer(m_socketPath); // a socket left by a copy that died
            if (!m_server->listen(m_socketPath)) {
                m_server.reset();
                return Outcome::Unavailable;
            }
            connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
                while (QLocalSocket* client = m_server->nextPendingConnection()) {
                    connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
                    connect(client, &QLocalSocket::readyRead, client, [this, client] {
                        if (!client->canReadLine())
                            return;
                        if (client->readLine(64) == ShowRequest && showRequested)
                            showRequested();
                        client->write(ShownReply.data(), ShownReply.size());
                        client->flush();
                        client->disconnectFromServer();
                    });
                }
            });
            return Outcome::First;
        }
        if (m_lock.error() == QLockFile::PermissionError || m_lock.error() == QLockFile::UnknownError)
            return Outcome::Unavailable;
        if (askFirstToShow())
            return Outcome::OtherShown;
        // The holder is still starting (no socket yet) or just ending (the lock goes soon).
        if (deadline.hasExpired())
            return Outcome::OtherBusy;
        QThread::msleep(50);
    }
}

bool SingleInstance::askFirstToShow()
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(1000))
        return false;
    socket.write(ShowRequest.data(), ShowRequest.size());
    if (!socket.waitForBytesWritten(1000))
        return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(3000))
            return false;
    }
    return socket.readLine(64) == ShownReply;
}

} // namespace pelloway
