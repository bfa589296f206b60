// One check through the real mail library against a private Dovecot, with the main window's
// side recorded: what each kind of mailbox and failure reports, and that the mailbox keeps
// every message.

#include "DovecotRig.h"
#include "mail/CheckCycle.h"
#include "mail/NMailLibrary.h"
#include "mail/SeenMail.h"
#include "mail/TrustQuestion.h"
#include "settings/SettingsFiles.h"
#include "settings/SharedValues.h"
#include "support/Dovecot.h"
#include "support/ScriptedPop3Server.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>
#include <memory>
#include <sys/stat.h>

using namespace pelloway;
using namespace pelloway::test;

namespace {

// How many logins of the test user Dovecot has logged.
qsizetype Logins(const Dovecot& server)
{
    return server.log().count(QStringLiteral("Login: user=<") + QString::fromLatin1(server.user()) + u'>');
}

const QString Account = QStringLiteral("account pelloway|Secret-123");

// The ids in the file of mail seen before, or -1 when it is not ours.
int SeenCount(const QString& path)
{
    const QByteArray bytes = ReadBytes(path);
    const QList<QByteArray> lines = bytes.split('\n');
    return bytes.startsWith("pelloway-seen 1 ") ? int(lines.size()) - 2 : -1;
}

// What Dovecot logs as each session ends: "top=<count>/<bytes>, retr=<count>/<bytes>".
QStringList SessionTotals(const Dovecot& server)
{
    QStringList totals;
    static const QRegularExpression pattern(QStringLiteral("top=\\d+/\\d+, retr=\\d+/\\d+"));
    auto it = pattern.globalMatch(server.log());
    while (it.hasNext())
        totals << it.next().captured();
    return totals;
}

} // namespace

class TestCheckDovecot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_server = std::make_unique<Dovecot>();
        QVERIFY2(m_server->isRunning(), qPrintable(m_server->error()));
    }
    void cleanupTestCase() { m_server.reset(); }
    void init() { m_server->clearMailbox(); }

    void emptyMailbox()
    {
        Rig rig(*m_server);
        rig.cycle.CheckNewMail();
        QCOMPARE(rig.log, QStringList({Account, "report 1000 新着メールはありませんでした。|0"}));
        QVERIFY(rig.failures.isEmpty());
    }

    void threeMessages_data()
    {
        QTest::addColumn<bool>("tlsPort");
        QTest::addColumn<int>("apop");
        QTest::newRow("STLS, USER/PASS") << false << 0;
        QTest::newRow("STLS, APOP") << false << 1;
        QTest::newRow("TLS from the start, USER/PASS") << true << 0;
    }
    void threeMessages()
    {
        QFETCH(bool, tlsPort);
        QFETCH(int, apop);
        m_server->addMessages(3, 2000);
        Rig rig(*m_server);
        if (tlsPort)
            rig.values.PopServer = m_server->tlsServer();
        rig.values.ApopFlag = std::int16_t(apop);

        const QStringList once = {Account, "picture wife.gif", "report 1000 新着メールが有ります|3",
                                  "character"};
        rig.cycle.CheckNewMail();
        QCOMPARE(rig.log, once);
        QVERIFY2(rig.failures.isEmpty(), qPrintable(rig.failures.join(u'\n')));
        QCOMPARE(m_server->messageFiles(), 3);

        // Nothing is remembered: the same mailbox reports the same again.
        rig.log.clear();
        rig.cycle.CheckNewMail();
        QCOMPARE(rig.log, once);
        QCOMPARE(m_server->messageFiles(), 3);
    }

    // The server's refusal reaches the box, then the negative result is reported.
    void wrongPassword()
    {
        m_server->addMessages(1, 500);
        Rig rig(*m_server);
        rig.files.StoreAccount(QStringLiteral("pelloway"), QStringLiteral("wrong"), true);
        rig.cycle.CheckNewMail();
        QCOMPARE(rig.log.size(), 3);
        QCOMPARE(rig.log[0], QStringLiteral("account pelloway|wrong"));
        QVERIFY2(rig.log[1].startsWith(QStringLiteral("box ")) &&
                     rig.log[1].contains(QStringLiteral("Authentication failed")),
                 qPrintable(rig.log[1]));
        QCOMPARE(rig.log[2], QStringLiteral("report 1000 新着メールはありませんでした。|-1"));
        QCOMPARE(rig.failures.size(), 1);
        QCOMPARE(m_server->messageFiles(), 1);
    }

    // A passing network fault is reported in the window only; a certificate the program does
    // not trust is put to the user as a question (refused here).
    void unreachable_data()
    {
        QTest::addColumn<int>("kind"); // 0 refused port, 1 untrusted certificate (TLS), 2 untrusted (STLS)
        QTest::addColumn<QString>("asked");
        QTest::newRow("refused port") << 0 << QString();
        QTest::newRow("untrusted certificate, TLS") << 1 << "question localhost:%1";
        QTest::newRow("untrusted certificate, STLS") << 2 << "question localhost:%1";
    }
    void unreachable()
    {
        QFETCH(int, kind);
        QFETCH(QString, asked);
        m_server->addMessages(1, 500);
        Rig rig(*m_server, false);
        if (kind == 0) {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            rig.values.PopServer = QStringLiteral("127.0.0.1:%1").arg(probe.serverPort());
            probe.close();
        } else if (kind == 1) {
            rig.values.PopServer = m_server->tlsServer();
        } else {
            rig.values.PopServer = QStringLiteral("localhost:%1").arg(m_server->plainPort());
        }
        rig.cycle.CheckNewMail();
        QCOMPARE(rig.log.last(), QStringLiteral("report 1000 メールサーバーに接続できませんでした。|"));
        QCOMPARE(rig.log.size(), asked.isEmpty() ? 1 : 2);
        if (!asked.isEmpty()) {
            QCOMPARE(rig.log[0], asked.arg(kind == 1 ? m_server->tlsPort() : m_server->plainPort()));
            QVERIFY(rig.questions[0].errors.contains(QSslError::UnableToGetLocalIssuerCertificate));
        }
        QCOMPARE(rig.failures.size(), 1);
        QVERIFY2(rig.failures[0].contains(rig.values.PopServer), qPrintable(rig.failures[0]));
        QCOMPARE(m_server->messageFiles(), 1);
    }

    // A self-signed certificate: the question shows it; trusting it saves its fingerprint and
    // the check goes on, and the next check asks nothing. A new certificate after a restart
    // asks again, saying it changed; refusing sends no login.
    void trustingACertificate()
    {
        Dovecot server(Dovecot::Tls::SelfSigned);
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        server.addMessages(2, 500);
        Rig rig(server, false);
        const QString key = QStringLiteral("localhost:%1").arg(server.plainPort());
        const QByteArray first = pop3::CertificateDigest(server.serverCertificate());
        const QStringList found = {Account, "picture wife.gif", "report 1000 新着メールが有ります|2",
                                   "character"};

        rig.trust = true;
        rig.cycle.CheckNewMail();
        QCOMPARE(rig.log, QStringList{QStringLiteral("question ") + key} + found);
        QCOMPARE(rig.questions.size(), 1);
        QCOMPARE(pop3::CertificateDigest(rig.questions[0].certificate), first);
        QVERIFY(!rig.questions[0].changed);
        const QString text = TrustQuestion::Text(rig.questions[0]);
        for (const QString& part : {key, pop3::FingerprintText(first), QStringLiteral("CN=localhost"),
                                    pop3::ProblemText(QSslError::SelfSignedCertificate)})
            QVERIFY2(text.contains(part) || text.contains(part.mid(3)), qPrintable(part + u'\n' + text));
        QCOMPARE(rig.files.TrustedCertificate(key), first);
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(rig.files.trustPath()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));

        rig.log.clear();
        rig.cycle.CheckNewMail();
        QCOMPARE(rig.log, found);
        QCOMPARE(rig.questions.size(), 1);

        QVERIFY2(server.restart(), qPrintable(server.error()));
        const QByteArray second = pop3::CertificateDigest(server.serverCertificate());
        QVERIFY(second != first);
        const qsizetype logins = Logins(server);
        rig.log.clear();
        rig.trust = false;
        rig.cycle.CheckNewMail();
        QCOMPARE(rig.log, QStringList({QStringLiteral("question ") + key,
                                       "report 1000 メールサーバーに接続できませんでした。|"}));
        QCOMPARE(rig.questions.size(), 2);
        QVERIFY(rig.questions[1].changed);
        QCOMPARE(pop3::CertificateDigest(rig.questions[1].certificate), second);
        QVERIFY(TrustQuestion::Text(rig.questions[1]).contains(QStringLiteral("変わっています")));
        QCOMPARE(rig.files.TrustedCertificate(key), first);
        QCOMPARE(Logins(server), logins);
        QVERIFY(!server.log().contains(QStringLiteral("auth failed")));

        rig.log.clear();
        rig.trust = true;
        rig.cycle.CheckNewMail();
        QCOMPARE(rig.log, QStringList{QStringLiteral("question ") + key} + found);
        QCOMPARE(rig.files.TrustedCertificate(key), second);
    }

    // The new-only choice against a real server: what is counted follows the unique ids, the
    // wire carries no RETR, and TOP only for the new messages; Dovecot's own log says so too.
    void newMailOnly()
    {
        Dovecot server(Dovecot::Tls::On, Dovecot::Commands::Recorded);
        QVERIFY2(server.isRunning(), qPrintable(server.error()));
        server.addMessages(3, 2000);
        auto rig = std::make_unique<Rig>(server);
        RecordingNotifications notifications(rig->log);
        rig->host.newMailOnlyChoice = 1;
        rig->cycle.notifications = &notifications;
        const QString seen = rig->files.seenMailPath();
        qsizetype sent = 0;
        const auto check = [&] {
            rig->log.clear();
            rig->cycle.CheckNewMail();
            const QList<QByteArray> all = server.commands();
            const QList<QByteArray> session = all.mid(sent);
            sent = all.size();
            return session;
        };
        const auto retrieved = [](const QList<QByteArray>& commands) {
            QList<QByteArray> out;
            for (const QByteArray& command : commands) {
                if (command.startsWith("RETR") || command.startsWith("TOP"))
                    out << command;
            }
            return out;
        };

        // 1. Three messages, none seen: three new; the newest first in the notification.
        QList<QByteArray> commands = check();
        QCOMPARE(rig->log, (QStringList{Account, "picture wife.gif",
                                        QStringLiteral("notify 新着メール 3 通|Test Sender：Message 3\n"
                                                       "Test Sender：Message 2\nTest Sender：Message 1"),
                                        "report 1000 新着メールが有ります|3", "character"}));
        QVERIFY2(commands.contains("UIDL"), commands.join(' ').constData());
        QCOMPARE(retrieved(commands), (QList<QByteArray>{"TOP 3 0", "TOP 2 0", "TOP 1 0"}));
        QCOMPARE(SeenCount(seen), 3);
        QCOMPARE(QFile::permissions(seen) & 0x0077, QFileDevice::Permissions());

        // 2. The same three: nothing new, nothing retrieved or read.
        commands = check();
        QCOMPARE(rig->log, (QStringList{Account, "report 1000 新着メールはありませんでした。|0"}));
        QVERIFY(commands.contains("UIDL"));
        QCOMPARE(retrieved(commands), QList<QByteArray>{});
        QTRY_COMPARE(SessionTotals(server).size(), 2);
        QCOMPARE(SessionTotals(server)[1], QStringLiteral("top=0/0, retr=0/0"));

        // 3. Two delivered: two new, and only their headers are read.
        server.addMessages(2, 3000);
        commands = check();
        QCOMPARE(rig->log, (QStringList{Account, "picture wife.gif",
                                        QStringLiteral("notify 新着メール 2 通|Test Sender：Message 5\n"
                                                       "Test Sender：Message 4"),
                                        "report 1000 新着メールが有ります|2", "character"}));
        QCOMPARE(retrieved(commands), (QList<QByteArray>{"TOP 5 0", "TOP 4 0"}));
        QCOMPARE(SeenCount(seen), 5);

        // 4. One deleted on the server: nothing new, and the remembered set shrinks.
        QVERIFY(server.removeMessage(2));
        commands = check();
        QCOMPARE(rig->log.last(), QStringLiteral("report 1000 新着メールはありませんでした。|0"));
        QCOMPARE(retrieved(commands), QList<QByteArray>{});
        QCOMPARE(SeenCount(seen), 4);

        // 5. A restart: a new library and check read the same file; still nothing new.
        const std::unique_ptr<Rig> before = std::move(rig);
        rig = std::make_unique<Rig>(server);
        rig->files = before->files;
        rig->host.newMailOnlyChoice = 1;
        commands = check();
        QCOMPARE(rig->log.last(), QStringLiteral("report 1000 新着メールはありませんでした。|0"));
        QCOMPARE(retrieved(commands), QList<QByteArray>{});
        QTRY_COMPARE(SessionTotals(server).size(), 5);
        QVERIFY2(rig->failures.isEmpty(), qPrintable(rig->failures.join(u'\n')));
        QCOMPARE(server.messageFiles(), 4);
    }

    // A server that refuses UIDL gets the usual check: every message retrieved and counted,
    // one line on standard error, the remembered set untouched.
    void newMailOnlyWithoutUidl()
    {
        test::ScriptedPop3Server pop3([](test::ScriptedPop3Server::Peer& p) {
            p.send("+OK ready\r\n");
            p.expect("CAPA");
            p.send("+OK\r\nUSER\r\n.\r\n");
            p.expect("USER");
            p.send("+OK\r\n");
            p.expect("PASS");
            p.send("+OK\r\n");
            p.expect("STAT");
            p.send("+OK 2 40\r\n");
            p.expect("LIST");
            p.send("+OK\r\n1 20\r\n2 20\r\n.\r\n");
            p.expect("UIDL");
            p.send("-ERR no such command\r\n");
            for (const char* command : {"RETR 1", "RETR 2"}) {
                p.expect(command);
                p.send("+OK\r\nSubject: x\r\n\r\nbody\r\n.\r\n");
            }
            p.expect("QUIT");
            p.send("+OK\r\n");
        });
        Rig rig(*m_server);
        rig.values.PopServer = QStringLiteral("plain://") + QString::fromLatin1(pop3.address());
        rig.host.newMailOnlyChoice = 1;
        QVERIFY(WriteBytes(rig.files.seenMailPath(), "untouched"));
        rig.cycle.CheckNewMail();
        pop3.finish();
        QCOMPARE(rig.log, (QStringList{Account, "picture wife.gif", "report 1000 新着メールが有ります|2",
                                       "character"}));
        QCOMPARE(rig.failures.size(), 1);
        QVERIFY2(rig.failures[0].contains(QStringLiteral("UIDL")) &&
                     rig.failures[0].contains(QStringLiteral("no such command")),
                 qPrintable(rig.failures[0]));
        QCOMPARE(pop3.commands().size(), 9);
        QCOMPARE(ReadBytes(rig.files.seenMailPath()), QByteArray("untouched"));
    }

private:
    std::unique_ptr<Dovecot> m_server;
};

QTEST_MAIN(TestCheckDovecot)
#include "test_check_dovecot.moc"
