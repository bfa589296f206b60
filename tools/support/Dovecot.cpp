#include "support/Dovecot.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUuid>
#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelloway::test {

namespace {

constexpr const char* DovecotProgram = "/usr/sbin/dovecot";
constexpr uint NobodyId = 65534;

quint16 FreePort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

bool Run(const QString& program, const QStringList& arguments, QString* output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool done = process.waitForFinished(30000);
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return done && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

Dovecot::Dovecot(Tls tls) : m_tls(tls)
{
    m_running = start();
}

Dovecot::~Dovecot()
{
    stop();
}

void Dovecot::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate(); // SIGTERM to the master: it stops its children
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

QString Dovecot::plainServer() const
{
    // With STLS on offer the client checks the certificate, which names "localhost".
    if (m_tlsPort)
        return QStringLiteral("localhost:%1").arg(m_plainPort);
    return QStringLiteral("plain://127.0.0.1:%1").arg(m_plainPort);
}

QSslCertificate Dovecot::serverCertificate() const
{
    const QList<QSslCertificate> certificates =
        QSslCertificate::fromPath(m_dir.filePath(QStringLiteral("server.pem")));
    return certificates.isEmpty() ? QSslCertificate() : certificates.front();
}

QString Dovecot::tlsServer() const
{
    return QStringLiteral("pop3s://localhost:%1").arg(m_tlsPort);
}

QString Dovecot::caFile() const
{
    return m_dir.filePath(QStringLiteral("ca.pem"));
}

QList<QSslCertificate> Dovecot::caCertificates() const
{
    return QSslCertificate::fromPath(caFile());
}

QString Dovecot::maildir() const
{
    return m_dir.filePath(QStringLiteral("mail/") + QString::fromLatin1(user()));
}

QString Dovecot::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("dovecot.log")));
    QString text = file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
    return text + QString::fromLocal8Bit(const_cast<QProcess&>(m_process).readAllStandardError());
}

bool Dovecot::makeCertificates()
{
    const QString dir = m_dir.path() + u'/';
    const QStringList ec = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                            QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    QString output;
    if (m_tls == Tls::SelfSigned) {
        if (Run(QStringLiteral("openssl"),
                QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ec +
                    QStringList{QStringLiteral("-keyout"), dir + QStringLiteral("server.key"),
                                QStringLiteral("-out"), dir + QStringLiteral("server.pem"),
                                QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                                QStringLiteral("/CN=localhost"), QStringLiteral("-addext"),
                                QStringLiteral("subjectAltName=DNS:localhost")},
                &output))
            return true;
        m_error = QStringLiteral("openssl failed: ") + output;
        return false;
    }
    if (!Run(QStringLiteral("openssl"),
             QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ec +
                 QStringList{QStringLiteral("-keyout"), dir + QStringLiteral("ca.key"),
                             QStringLiteral("-out"), dir + QStringLiteral("ca.pem"), QStringLiteral("-days"),
                             QStringLiteral("2"), QStringLiteral("-subj"),
                             QStringLiteral("/CN=Pelloway Test CA"), QStringLiteral("-addext"),
                             QStringLiteral("basicConstraints=critical,CA:TRUE"), QStringLiteral("-addext"),
                             QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")},
             &output) ||
        !Run(QStringLiteral("openssl"),
             QStringList{QStringLiteral("req")} + ec +
                 QStringList{QStringLiteral("-keyout"), dir + QStringLiteral("server.key"),
                             QStringLiteral("-out"), dir + QStringLiteral("server.csr"),
                             QStringLiteral("-subj"), QStringLiteral("/CN=localhost")},
             &output) ||
        !Write(dir + QStringLiteral("server.ext"),
               "subjectAltName=DNS:localhost\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n") ||
        !Run(QStringLiteral("openssl"),
             {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
              dir + QStringLiteral("server.csr"), QStringLiteral("-CA"), dir + QStringLiteral("ca.pem"),
              QStringLiteral("-CAkey"), dir + QStringLiteral("ca.key"), QStringLiteral("-CAcreateserial"),
              QStringLiteral("-out"), dir + QStringLiteral("server.pem"), QStringLiteral("-days"),
              QStringLiteral("2"), QStringLiteral("-extfile"), dir + QStringLiteral("server.ext")},
             &output)) {
        m_error = QStringLiteral("openssl failed: ") + output;
        return false;
    }
    return true;
}

bool Dovecot::start()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    if (!QFile::exists(QString::fromLatin1(DovecotProgram))) {
        m_error = QStringLiteral("dovecot is not installed");
        return false;
    }
    const QString dir = m_dir.path();
    // Dovecot's unprivileged processes must reach the folder.
    ::chmod(QFile::encodeName(dir).constData(), 0755);

    const bool root = ::geteuid() == 0;
    m_uid = root ? NobodyId : ::geteuid();
    m_gid = root ? NobodyId : ::getegid();
    if (!root) {
        const passwd* pw = ::getpwuid(::geteuid());
        const group* gr = ::getgrgid(::getegid());
        const QByteArray name = pw ? QByteArray(pw->pw_name) : QByteArray::number(::geteuid());
        const QByteArray groupName = gr ? QByteArray(gr->gr_name) : QByteArray::number(::getegid());
        m_extra = "default_internal_user = " + name + "\ndefault_internal_group = " + groupName +
                  "\ndefault_login_user = " + name +
                  "\nservice pop3-login {\n  chroot =\n}\nservice auth {\n  chroot =\n}\n";
    }

    QDir(dir).mkpath(QStringLiteral("run"));
    QDir(dir).mkpath(QStringLiteral("state"));
    for (const char* sub : {"cur", "new", "tmp"})
        QDir(maildir()).mkpath(QString::fromLatin1(sub));
    QDir(dir).mkpath(QStringLiteral("home/") + QString::fromLatin1(user()));
    if (root) {
        for (const QString& path :
             {dir + QStringLiteral("/mail"), maildir(), maildir() + QStringLiteral("/cur"),
              maildir() + QStringLiteral("/new"), maildir() + QStringLiteral("/tmp"),
              dir + QStringLiteral("/home"), dir + QStringLiteral("/home/") + QString::fromLatin1(user())}) {
            if (::chown(QFile::encodeName(path).constData(), m_uid, m_gid) != 0) {
                m_error = QStringLiteral("cannot hand the maildir to nobody");
                return false;
            }
        }
    }

    if (m_tls != Tls::Off && !makeCertificates())
        return false;
    // A free port may be taken by another test's server before Dovecot binds it; then this
    // one stops at once, and the greeting on the port is not ours: try again on others.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (launch())
            return true;
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    return false;
}

bool Dovecot::launch()
{
    const bool withTls = m_tls != Tls::Off;
    m_plainPort = FreePort();
    m_tlsPort = withTls ? FreePort() : 0;
    while (withTls && m_tlsPort == m_plainPort)
        m_tlsPort = FreePort();

    const QString dir = m_dir.path();
    const QByteArray d = QFile::encodeName(dir);
    m_token = QUuid::createUuid().toByteArray(QUuid::Id128);
    QByteArray config = "base_dir = " + d + "/run\nstate_dir = " + d + "/state\nlog_path = " + d +
                        "/dovecot.log\ninfo_log_path = " + d +
                        "/dovecot.log\n"
                        "protocols = pop3\nlisten = 127.0.0.1\nlogin_greeting = Pelloway test " +
                        m_token +
                        "\n"
                        "disable_plaintext_auth = no\nauth_mechanisms = plain login apop\n"
                        "auth_failure_delay = 0\nfirst_valid_uid = 1\n"
                        "mail_location = maildir:" +
                        d +
                        "/mail/%u\n"
                        "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN username_format=%u " +
                        d +
                        "/passwd\n}\n"
                        "userdb {\n  driver = static\n  args = uid=" +
                        QByteArray::number(m_uid) + " gid=" + QByteArray::number(m_gid) + " home=" + d +
                        "/home/%u\n}\n"
                        "service anvil {\n  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n}\n"
                        "protocol pop3 {\n  mail_max_userip_connections = 1000\n}\n";
    if (withTls) {
        config += "ssl = yes\nssl_cert = <" + d + "/server.pem\nssl_key = <" + d + "/server.key\n";
        if (QFile::exists(QStringLiteral("/usr/share/dovecot/dh.pem")))
            config += "ssl_dh = </usr/share/dovecot/dh.pem\n";
        config +=
            "service pop3-login {\n  inet_listener pop3 {\n    port = " + QByteArray::number(m_plainPort) +
            "\n  }\n  inet_listener pop3s {\n    port = " + QByteArray::number(m_tlsPort) +
            "\n    ssl = yes\n  }\n}\n";
    } else {
        config += "ssl = no\nservice pop3-login {\n  inet_listener pop3 {\n    port = " +
                  QByteArray::number(m_plainPort) + "\n  }\n  inet_listener pop3s {\n    port = 0\n  }\n}\n";
    }
    config += m_extra;
    if (!Write(dir + QStringLiteral("/dovecot.conf"), config) ||
        !Write(dir + QStringLiteral("/passwd"), user() + ":{PLAIN}" + password() + "\n")) {
        m_error = QStringLiteral("cannot write the configuration");
        return false;
    }

    // Should the test be killed before its destructor runs, Dovecot goes with it.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(QString::fromLatin1(DovecotProgram),
                    {QStringLiteral("-F"), QStringLiteral("-c"), dir + QStringLiteral("/dovecot.conf")});
    if (!m_process.waitForStarted(5000)) {
        m_error = QStringLiteral("dovecot did not start: ") + m_process.errorString();
        return false;
    }
    if (!waitForGreeting()) {
        m_error = QStringLiteral("dovecot sent no greeting: ") + log();
        return false;
    }
    return true;
}

bool Dovecot::waitForGreeting()
{
    QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        if (m_process.state() == QProcess::NotRunning)
            return false;
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_plainPort);
        if (socket.waitForConnected(500) && socket.waitForReadyRead(2000)) {
            const QByteArray greeting = socket.readLine();
            socket.write("QUIT\r\n");
            socket.waitForBytesWritten(500);
            if (greeting.startsWith("+OK Pelloway test " + m_token))
                return true;
            if (greeting.startsWith("+OK"))
                return false; // another server holds the port
        }
        QThread::msleep(50);
    }
    return false;
}

void Dovecot::addMessage(const QByteArray& message)
{
    ++m_stored;
    ++m_inMailbox;
    // Dovecot numbers new files by the time and the M part of their names.
    const QString name =
        QStringLiteral("1700000000.M%1P1.pelloway:2,").arg(m_stored, 8, 10, QLatin1Char('0'));
    const QString tmp = maildir() + QStringLiteral("/tmp/") + name;
    const QString cur = maildir() + QStringLiteral("/cur/") + name;
    if (!Write(tmp, message))
        return;
    if (::geteuid() == 0)
        (void)::chown(QFile::encodeName(tmp).constData(), m_uid, m_gid);
    QFile::rename(tmp, cur);
}

QByteArray Dovecot::MakeMessage(int k, int size)
{
    QByteArray message = "Subject: Message " + QByteArray::number(k) +
                         "\r\nFrom: Test Sender <sender@localhost>\r\nTo: pelloway@localhost\r\n"
                         "Date: Mon, 7 Dec 2026 01:00:00 +0900\r\nMessage-ID: <" +
                         QByteArray::number(k) + ".pelloway@localhost>\r\n\r\n";
    static const QByteArray line = "The quick brown fox jumps over the lazy dog 0123456789 abcdefghij.\r\n";
    while (message.size() + line.size() <= size)
        message += line;
    if (message.size() < size) {
        const qsizetype rest = size - message.size();
        if (rest >= 2)
            message += QByteArray(rest - 2, 'x') + "\r\n";
        else
            message.insert(message.size() - 2, 'x');
    }
    return message;
}

void Dovecot::addMessages(int count, int size)
{
    const int first = m_inMailbox + 1;
    for (int k = first; k < first + count; ++k)
        addMessage(MakeMessage(k, size));
}

void Dovecot::clearMailbox()
{
    m_inMailbox = 0;
    for (const char* sub : {"cur", "new"}) {
        QDir folder(maildir() + u'/' + QString::fromLatin1(sub));
        for (const QString& name : folder.entryList(QDir::Files))
            folder.remove(name);
    }
}

int Dovecot::messageFiles() const
{
    int count = 0;
    for (const char* sub : {"cur", "new"})
        count += int(QDir(maildir() + u'/' + QString::fromLatin1(sub)).entryList(QDir::Files).size());
    return count;
}

} // namespace pelloway::test
