// One check through the real mail library against a private Dovecot, with the main window's
// side recorded: what each kind of mailbox and failure reports, and that the mailbox keeps
// every message.

#include "CheckFakes.h"
#include "mail/CheckCycle.h"
#include "mail/NMailLibrary.h"
#include "settings/SettingsFiles.h"
#include "settings/SharedValues.h"
#include "support/Dovecot.h"
#include "support/TestSupport.h"

#include <QLineEdit>
#include <QTcpServer>
#include <QTest>
#include <memory>

using namespace pelloway;
using namespace pelloway::test;

namespace {

struct Rig
{
    explicit Rig(const Dovecot& server, bool trustServer = true)
        : files(app.path(), app.file(QStringLiteral("vbmail.ini"))), cycle(library, files, values, host)
    {
        if (trustServer)
            library.Options().extraCaCertificates = server.caCertificates();
        library.Options().responseTimeoutMs = 20000;
        // The certificate names "localhost".
        values.PopServer = QStringLiteral("localhost:%1").arg(server.plainPort());
        files.StoreAccount(QString::fromLatin1(server.user()), QString::fromLatin1(server.password()), true);
        cycle.wait = [this](int ms) {
            const MsgForm* form = cycle.msgForm().loadedForm();
            log.append(
                QStringLiteral("report %1 %2|%3").arg(ms).arg(form->Text1->text(), form->Text2->text()));
        };
        cycle.errorBox = [this](const QString& text) { log.append(QStringLiteral("box ") + text); };
        cycle.failureLine = [this](const QString& line) { failures.append(line); };
    }

    AppFolder app;
    SettingsFiles files;
    SharedValues values;
    NMailLibrary library;
    QStringList log;
    RecordingCheckHost host{log};
    CheckCycle cycle;
    QStringList failures;
};

const QString Account = QStringLiteral("account pelloway|Secret-123");

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
    // not trust also opens the box, since the user must act.
    void unreachable_data()
    {
        QTest::addColumn<int>("kind"); // 0 refused port, 1 untrusted certificate (TLS), 2 untrusted (STLS)
        QTest::addColumn<bool>("box");
        QTest::newRow("refused port") << 0 << false;
        QTest::newRow("untrusted certificate, TLS") << 1 << true;
        QTest::newRow("untrusted certificate, STLS") << 2 << true;
    }
    void unreachable()
    {
        QFETCH(int, kind);
        QFETCH(bool, box);
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
        QCOMPARE(rig.log.size(), box ? 2 : 1);
        if (box)
            QVERIFY2(rig.log[0].size() > 4 && rig.log[0].startsWith(QStringLiteral("box ")),
                     qPrintable(rig.log[0]));
        QCOMPARE(rig.failures.size(), 1);
        QVERIFY2(rig.failures[0].contains(rig.values.PopServer), qPrintable(rig.failures[0]));
        QCOMPARE(m_server->messageFiles(), 1);
    }

private:
    std::unique_ptr<Dovecot> m_server;
};

QTEST_MAIN(TestCheckDovecot)
#include "test_check_dovecot.moc"
