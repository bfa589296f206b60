#pragma once
// A one-connection POP3 server on 127.0.0.1 that plays a script, for faults a real server
// will not produce. The script runs on the server's own thread with blocking calls:
//
//   test::ScriptedPop3Server server([](test::ScriptedPop3Server::Peer& peer) {
//       peer.send("+OK hello\r\n");
//       peer.expect("CAPA");              // reads one command line
//       peer.send("-ERR no\r\n");
//       peer.play("> QUIT\r\n+OK\r\n");  // expects QUIT, answers +OK
//       peer.waitForClose();              // until the client hangs up
//   });
//   ... connect to server.address() ...
//   server.finish();                      // joins; commands() holds what the client sent
//
// The destructor finishes too. Nothing of it outlives the test.

#include <QByteArray>
#include <QHostAddress>
#include <QMutex>
#include <QSemaphore>
#include <QStringList>
#include <QTcpSocket>
#include <QThread>
#include <functional>

namespace pelloway::test {

class ScriptedPop3Server : public QThread
{
public:
    class Peer
    {
    public:
        explicit Peer(QTcpSocket& socket, ScriptedPop3Server& server) : m_socket(socket), m_server(server) {}
        void send(const QByteArray& bytes);
        // Reads one command line (without CRLF) and records it; empty on time-out or close.
        QByteArray readLine(int timeoutMs = 10000);
        // Reads a command and returns whether it starts with `prefix` (case-insensitive).
        bool expect(const QByteArray& prefix, int timeoutMs = 10000);
        // Plays a dialogue: each line starting with "> " is a command to expect(); the other
        // lines are sent as they are, those in a row in one write.
        void play(const QByteArray& dialogue);
        // Whether the client has sent more than the command lines read so far: a client that
        // wrote a batch in one write has it all here once its first line is read.
        bool pending();
        // Reads until the client closes the connection (or the time-out passes).
        void waitForClose(int timeoutMs = 30000);
        // Sends `chunk` again and again, `pauseMs` apart, until the client hangs up: an
        // endless reply, or a dripping one.
        void repeat(const QByteArray& chunk, int pauseMs = 0);
        void close();
        QTcpSocket& socket() { return m_socket; }

    private:
        QTcpSocket& m_socket;
        ScriptedPop3Server& m_server;
    };

    using Script = std::function<void(Peer&)>;

    // Listens on 127.0.0.1 for one connection.
    explicit ScriptedPop3Server(Script script);
    ~ScriptedPop3Server() override;

    quint16 port() const { return m_port; }
    // "127.0.0.1:<port>"
    QByteArray address() const;
    // Waits for the script to end.
    void finish();
    // The command lines the client sent, in order.
    QList<QByteArray> commands() const;

protected:
    void run() override;

private:
    Script m_script;
    quint16 m_port = 0;
    QSemaphore m_ready;
    mutable QMutex m_mutex;
    QList<QByteArray> m_commands;
    QByteArray m_pending;
};

} // namespace pelloway::test
