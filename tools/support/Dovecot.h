#pragma once
// A private Dovecot POP3 server on loopback for tests and benchmarks.
//
//   test::Dovecot server;                 // starts it; check server.isRunning()
//   server.addMessages(3, 2000);          // three generated 2000-byte messages
//   library.Options().extraCaCertificates = server.caCertificates();
//   library.NMailPop3Connect(server.plainServer().toLatin1());  // "localhost:port"
//
// Everything lives in a temporary folder: the config it writes, a CA and a server
// certificate (for "localhost") made with openssl, the maildir, the log. Ports are picked
// free on 127.0.0.1. The plain listener offers STLS and a second listener speaks TLS from
// the start, unless constructed with Tls::Off (then `ssl = no`: plain POP3 only). With
// Tls::SelfSigned the certificate (for "localhost") signs itself and no CA is made. The
// greeting carries an APOP timestamp; one user, user() / password(). Works as root (mail
// stored as nobody) and as a normal user. The destructor stops Dovecot by its PID and
// removes the folder; a test process that is killed takes its Dovecot along.

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QSslCertificate>
#include <QString>
#include <QTemporaryDir>

namespace pelloway::test {

class Dovecot
{
public:
    enum class Tls
    {
        On,
        Off,
        SelfSigned,
    };

    explicit Dovecot(Tls tls = Tls::On);
    ~Dovecot();
    Dovecot(const Dovecot&) = delete;
    Dovecot& operator=(const Dovecot&) = delete;

    // True once the plain port has sent its greeting; otherwise error() says why.
    bool isRunning() const { return m_running; }
    QString error() const { return m_error; }

    quint16 plainPort() const { return m_plainPort; }
    quint16 tlsPort() const { return m_tlsPort; } // 0 with Tls::Off
    // "localhost:<plain port>" (STLS, the certificate's name), or
    // "plain://127.0.0.1:<plain port>" with Tls::Off: the form that allows a login without
    // TLS. The certificate does not name 127.0.0.1: use it to see a name refused.
    QString plainServer() const;
    // "pop3s://localhost:<tls port>"
    QString tlsServer() const;

    QByteArray user() const { return "pelloway"; }
    QByteArray password() const { return "Secret-123"; }
    // The CA that signed the server certificate, to trust in clients.
    QList<QSslCertificate> caCertificates() const;
    QString caFile() const;
    // The server's own certificate.
    QSslCertificate serverCertificate() const;

    // Stores one message (LF or CRLF line ends) after those already there.
    void addMessage(const QByteArray& message);
    // Stores `count` messages of `size` bytes each (CRLF counted), made by MakeMessage and
    // numbered by their place in the mailbox (after three stored, the next is "Message 4").
    void addMessages(int count, int size);
    // Removes every message.
    void clearMailbox();
    // The message files in the maildir.
    int messageFiles() const;

    // A message numbered k of exactly `size` bytes with CRLF line ends (at least its
    // header): Subject "Message k", From, Date, Message-ID "<k.pelloway@localhost>".
    static QByteArray MakeMessage(int k, int size);

    QString path() const { return m_dir.path(); }
    QString log() const;

private:
    bool start();
    bool launch();
    void stop();
    bool makeCertificates();
    bool waitForGreeting();
    QString maildir() const;

    QTemporaryDir m_dir;
    Tls m_tls = Tls::On;
    QByteArray m_extra; // configuration lines for a normal user
    QProcess m_process;
    bool m_running = false;
    QString m_error;
    quint16 m_plainPort = 0;
    quint16 m_tlsPort = 0;
    uint m_uid = 0;
    uint m_gid = 0;
    QByteArray m_token;  // in this instance's greeting: tells it from a server on a port taken meanwhile
    int m_stored = 0;    // files written so far: names stay unique
    int m_inMailbox = 0; // messages since the last clearMailbox
};

} // namespace pelloway::test
