#include "support/ScriptedPop3Server.h"

#include <QDeadlineTimer>
#include <QSemaphore>
#include <QTcpServer>

namespace pelloway::test {

ScriptedPop3Server::ScriptedPop3Server(Script script, QHostAddress::SpecialAddress where, int connections)
    : m_script(std::move(script)), m_where(where), m_connections(connections)
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
    return (m_where == QHostAddress::LocalHostIPv6 ? "[::1]:" : "127.0.0.1:") + QByteArray::number(m_port);
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

QList<QByteArray> ScriptedPop3Server::received() const
{
    QMutexLocker lock(&m_mutex);
    return m_received;
}

int ScriptedPop3Server::accepted() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_received.size());
}

ScriptedPop3Server::Script ScriptedPop3Server::Relay(quint16 port,
                                                     std::function<QByteArray(const QByteArray&)> filter)
{
    return [port, filter = std::move(filter)](Peer& peer) { peer.relay(port, filter); };
}

QByteArray ScriptedPop3Server::WithoutStls(const QByteArray& lines)
{
    QByteArray kept;
    for (const QByteArray& line : lines.split('\n')) {
        if (line.trimmed().toUpper() != "STLS")
            kept += line + '\n';
    }
    kept.chop(1);
    return kept;
}

bool ScriptedPop3Server::CarriesLogin(const QByteArray& wire)
{
    for (const QByteArray& line : wire.split('\n')) {
        const QByteArray command = line.trimmed().toUpper();
        if (command.startsWith("USER") || command.startsWith("PASS") || command.startsWith("APOP"))
            return true;
    }
    return false;
}

void ScriptedPop3Server::run()
{
    QTcpServer server;
    server.listen(m_where, 0);
    m_port = server.serverPort();
    m_ready.release();
    for (int i = 0; i < m_connections; ++i) {
        if (!server.waitForNewConnection(30000))
            return;
        QTcpSocket* socket = server.nextPendingConnection();
        if (!socket)
            return;
        {
            QMutexLocker lock(&m_mutex);
            m_received.append(QByteArray());
        }
        m_pending.clear();
        Peer peer(*socket, *this);
        m_script(peer);
        socket->abort();
        delete socket;
    }
}

void ScriptedPop3Server::Peer::relay(quint16 port, const std::function<QByteArray(const QByteArray&)>& filter)
{
    QTcpSocket upstream;
    upstream.connectToHost(QHostAddress::LocalHost, port);
    if (!upstream.waitForConnected(10000))
        return;
    QByteArray fromServer;
    QDeadlineTimer idle(30000);
    while (!idle.hasExpired()) {
        bool moved = false;
        if (m_socket.bytesAvailable() > 0 || m_socket.waitForReadyRead(5)) {
            const QByteArray bytes = m_socket.readAll();
            {
                QMutexLocker lock(&m_server.m_mutex);
                m_server.m_received.back() += bytes;
            }
            upstream.write(bytes);
            upstream.flush();
            moved = !bytes.isEmpty();
        }
        if (upstream.bytesAvailable() > 0 || upstream.waitForReadyRead(5)) {
            fromServer += upstream.readAll();
            // A filter sees whole lines; without one the bytes pass as they come.
            const qsizetype end = filter ? fromServer.lastIndexOf('\n') + 1 : fromServer.size();
            if (end > 0) {
                const QByteArray chunk = fromServer.first(end);
                fromServer.remove(0, end);
                m_socket.write(filter ? filter(chunk) : chunk);
                m_socket.flush();
                moved = true;
            }
        }
        if (moved)
            idle.setRemainingTime(30000);
        if (m_socket.state() != QAbstractSocket::ConnectedState ||
            upstream.state() != QAbstractSocket::ConnectedState)
            break;
    }
    if (m_socket.state() == QAbstractSocket::ConnectedState && !fromServer.isEmpty()) {
        m_socket.write(fromServer);
        m_socket.waitForBytesWritten(1000);
    }
    upstream.abort();
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
