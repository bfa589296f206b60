#include "support/ScriptedPop3Server.h"

#include <QDeadlineTimer>
#include <QTcpServer>

namespace pelloway::test {

ScriptedPop3Server::ScriptedPop3Server(Script script) : m_script(std::move(script))
{
    start();
    m_ready.acquire();
}

ScriptedPop3Server::~ScriptedPop3Server()
{
    finish();
}

QByteArray ScriptedPop3Server::address() const
{
    return "127.0.0.1:" + QByteArray::number(m_port);
}

void ScriptedPop3Server::finish()
{
    wait();
}

QList<QByteArray> ScriptedPop3Server::commands() const
{
    QMutexLocker lock(&m_mutex);
    return m_commands;
}

void ScriptedPop3Server::run()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    m_port = server.serverPort();
    m_ready.release();
    if (!server.waitForNewConnection(30000))
        return;
    QTcpSocket* socket = server.nextPendingConnection();
    if (!socket)
        return;
    Peer peer(*socket, *this);
    m_script(peer);
    socket->abort();
    delete socket;
}

void ScriptedPop3Server::Peer::send(const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size() && m_socket.state() == QAbstractSocket::ConnectedState) {
        const qint64 n =
            m_socket.write(bytes.constData() + sent, std::min<qsizetype>(bytes.size() - sent, 1 << 20));
        if (n <= 0)
            break;
        sent += qsizetype(n);
        m_socket.waitForBytesWritten(10000);
    }
}

QByteArray ScriptedPop3Server::Peer::readLine(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const qsizetype lf = m_server.m_pending.indexOf('\n');
        if (lf >= 0) {
            QByteArray line = m_server.m_pending.left(lf);
            m_server.m_pending.remove(0, lf + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            QMutexLocker lock(&m_server.m_mutex);
            m_server.m_commands.append(line);
            return line;
        }
        if (deadline.hasExpired() ||
            !m_socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1))))
            return {};
        m_server.m_pending += m_socket.readAll();
    }
}

bool ScriptedPop3Server::Peer::expect(const QByteArray& prefix, int timeoutMs)
{
    return readLine(timeoutMs).toUpper().startsWith(prefix.toUpper());
}

void ScriptedPop3Server::Peer::play(const QByteArray& dialogue)
{
    QByteArray batch;
    for (qsizetype at = 0; at < dialogue.size();) {
        const qsizetype lf = dialogue.indexOf('\n', at);
        const qsizetype end = lf < 0 ? dialogue.size() : lf + 1;
        const QByteArray line = dialogue.sliced(at, end - at);
        at = end;
        if (!line.startsWith("> ")) {
            batch += line;
            continue;
        }
        send(batch);
        batch.clear();
        expect(line.sliced(2).trimmed());
    }
    send(batch);
}

bool ScriptedPop3Server::Peer::pending()
{
    return !m_server.m_pending.isEmpty() || m_socket.bytesAvailable() > 0;
}

void ScriptedPop3Server::Peer::waitForClose(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired() && m_socket.state() == QAbstractSocket::ConnectedState) {
        if (m_socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)))) {
            m_server.m_pending += m_socket.readAll();
            while (m_server.m_pending.contains('\n'))
                readLine(0);
        }
    }
}

void ScriptedPop3Server::Peer::repeat(const QByteArray& chunk, int pauseMs)
{
    while (m_socket.state() == QAbstractSocket::ConnectedState) {
        send(chunk);
        if (pauseMs > 0)
            m_socket.waitForReadyRead(pauseMs);
    }
}

void ScriptedPop3Server::Peer::close()
{
    m_socket.disconnectFromHost();
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        m_socket.waitForDisconnected(2000);
}

} // namespace pelloway::test
