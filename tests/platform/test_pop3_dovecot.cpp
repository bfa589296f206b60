// The POP3 client against a private Dovecot: logins, TLS, certificate checks, counts,
// sizes, contents, pipelining and that nothing is deleted.

#include "platform/pop3/MessageHeaders.h"
#include "platform/pop3/Pop3Client.h"
#include "support/Dovecot.h"

#include <QTest>
#include <memory>

using namespace pelloway::pop3;
using pelloway::test::Dovecot;

class TestPop3Dovecot : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void logsIn_data();
    void logsIn();
    void refusesBadCertificates_data();
    void refusesBadCertificates();
    void wrongPassword_data();
    void wrongPassword();
    void fetchesMailbox_data();
    void fetchesMailbox();
    void undoesDotStuffing();
    void fetchesOutOfOrder();
    void plainServerWithoutTls();

private:
    Pop3Options trusting() const;
    QString localhostPlain() const { return QStringLiteral("localhost:%1").arg(m_server->plainPort()); }
    // Logs in with USER/PASS and returns the count, or fails the test.
    int login(Pop3Client& client, const QString& server);

    std::unique_ptr<Dovecot> m_server;
};

void TestPop3Dovecot::initTestCase()
{
    m_server = std::make_unique<Dovecot>();
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->error()));
}

void TestPop3Dovecot::cleanupTestCase()
{
    m_server.reset();
}

Pop3Options TestPop3Dovecot::trusting() const
{
    Pop3Options options;
    options.extraCaCertificates = m_server->caCertificates();
    options.responseTimeoutMs = 10000;
    return options;
}

int TestPop3Dovecot::login(Pop3Client& client, const QString& server)
{
    if (!client.Connect(server)) {
        qWarning() << client.Reason();
        return -2;
    }
    const int count = client.Authenticate(m_server->user(), m_server->password(), false);
    if (count < 0)
        qWarning() << client.Reason();
    return count;
}

void TestPop3Dovecot::logsIn_data()
{
    QTest::addColumn<int>("form"); // 0 STLS on the plain port, 1 TLS from the start
    QTest::addColumn<bool>("apop");
    QTest::newRow("STLS, USER/PASS") << 0 << false;
    QTest::newRow("STLS, APOP") << 0 << true;
    QTest::newRow("TLS, USER/PASS") << 1 << false;
    QTest::newRow("TLS, APOP") << 1 << true;
}

void TestPop3Dovecot::logsIn()
{
    QFETCH(int, form);
    QFETCH(bool, apop);
    m_server->clearMailbox();
    m_server->addMessages(2, 500);
    Pop3Client client(trusting());
    QVERIFY2(client.Connect(form == 0 ? localhostPlain() : m_server->tlsServer()),
             qPrintable(client.Reason()));
    QVERIFY(client.Encrypted());
    QVERIFY(client.Capabilities().pipelining);
    QVERIFY(!client.Capabilities().stls); // asked again after STLS, where it is no longer offered
    QCOMPARE(client.Authenticate(m_server->user(), m_server->password(), apop), 2);
    client.Quit();
}

void TestPop3Dovecot::refusesBadCertificates_data()
{
    QTest::addColumn<bool>("trustCa");
    QTest::addColumn<bool>("implicitTls");
    QTest::addColumn<QString>("problem");
    QTest::newRow("TLS, name not in the certificate") << true << true << "host name";
    QTest::newRow("STLS, name not in the certificate") << true << false << "host name";
    QTest::newRow("TLS, unknown CA") << false << true << "issuer";
    QTest::newRow("STLS, unknown CA") << false << false << "issuer";
}

void TestPop3Dovecot::refusesBadCertificates()
{
    QFETCH(bool, trustCa);
    QFETCH(bool, implicitTls);
    QFETCH(QString, problem);
    Pop3Options options = trusting();
    if (!trustCa)
        options.extraCaCertificates.clear();
    Pop3Client client(options);
    // The certificate names "localhost"; 127.0.0.1 is not in it.
    const QString host = trustCa ? QStringLiteral("127.0.0.1") : QStringLiteral("localhost");
    const QString server = implicitTls ? QStringLiteral("pop3s://%1:%2").arg(host).arg(m_server->tlsPort())
                                       : QStringLiteral("%1:%2").arg(host).arg(m_server->plainPort());
    QVERIFY(!client.Connect(server));
    QCOMPARE(client.Error(), Pop3Error::Certificate);
    QVERIFY2(client.Reason().startsWith(QStringLiteral("サーバーの証明書を確認できませんでした。(")),
             qPrintable(client.Reason()));
    QVERIFY2(client.Reason().contains(problem, Qt::CaseInsensitive), qPrintable(client.Reason()));
}

void TestPop3Dovecot::wrongPassword_data()
{
    QTest::addColumn<bool>("apop");
    QTest::newRow("USER/PASS") << false;
    QTest::newRow("APOP") << true;
}

void TestPop3Dovecot::wrongPassword()
{
    QFETCH(bool, apop);
    Pop3Client client(trusting());
    QVERIFY2(client.Connect(localhostPlain()), qPrintable(client.Reason()));
    QCOMPARE(client.Authenticate(m_server->user(), "wrong", apop), -1);
    QCOMPARE(client.Error(), Pop3Error::Auth);
    QCOMPARE(client.Reason(), QStringLiteral("認証に失敗しました。(-ERR [AUTH] Authentication failed.)"));
    QVERIFY(!client.Fetch(1));
    client.Quit();
}

void TestPop3Dovecot::fetchesMailbox_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("window");
    QTest::newRow("empty") << 0 << 0 << 256;
    QTest::newRow("three") << 3 << 3000 << 256;
    QTest::newRow("thousand") << 1000 << 4096 << 256;
    QTest::newRow("window of one") << 5 << 700 << 1;
    QTest::newRow("one large") << 1 << 3 * 1024 * 1024 << 256;
}

void TestPop3Dovecot::fetchesMailbox()
{
    QFETCH(int, count);
    QFETCH(int, size);
    QFETCH(int, window);
    m_server->clearMailbox();
    m_server->addMessages(count, size);
    Pop3Options options = trusting();
    options.pipelineWindow = window;
    Pop3Client client(options);
    QCOMPARE(login(client, localhostPlain()), count);
    QCOMPARE(client.MessageCount(), count);
    int first = 0;
    for (int k = 1; k <= count; ++k) {
        QCOMPARE(client.Size(k), qint64(size));
        const Pop3Message* message = client.Fetch(k);
        QVERIFY2(message, qPrintable(client.Reason()));
        const QString subject = HeaderField(message->bytes, "Subject");
        if (k == 1)
            first = subject.mid(8).toInt();
        QCOMPARE(subject, QStringLiteral("Message %1").arg(first + k - 1));
        QCOMPARE(message->bytes, Dovecot::MakeMessage(first + k - 1, size));
    }
    QCOMPARE(client.Size(count + 1), qint64(-1));
    QVERIFY(!client.Fetch(count + 1));
    QCOMPARE(client.Error(), Pop3Error::BadMessageNumber);
    if (count > 0)
        QVERIFY2(client.RoundTripsToFirstMessage() <= 8,
                 qPrintable(QString::number(client.RoundTripsToFirstMessage())));
    client.Quit();

    // Nothing was deleted.
    QCOMPARE(m_server->messageFiles(), count);
    Pop3Client again(trusting());
    QCOMPARE(login(again, localhostPlain()), count);
    again.Quit();
}

void TestPop3Dovecot::undoesDotStuffing()
{
    m_server->clearMailbox();
    const QByteArray message = "Subject: dots\r\n\r\n.\r\n..two\r\n.hidden\r\nmiddle.\r\n.\r\n";
    m_server->addMessage(message);
    Pop3Client client(trusting());
    QCOMPARE(login(client, localhostPlain()), 1);
    QCOMPARE(client.Size(1), qint64(message.size()));
    const Pop3Message* fetched = client.Fetch(1);
    QVERIFY(fetched);
    QCOMPARE(fetched->bytes, message);
    client.Quit();
}

void TestPop3Dovecot::fetchesOutOfOrder()
{
    m_server->clearMailbox();
    m_server->addMessages(6, 300);
    Pop3Options options = trusting();
    options.pipelineWindow = 3;
    Pop3Client client(options);
    QCOMPARE(login(client, localhostPlain()), 6);
    const Pop3Message* one = client.Fetch(1);
    QVERIFY(one);
    const int base = HeaderField(one->bytes, "Subject").mid(8).toInt();
    // Ahead of the window, back before it, inside it, and the same one twice.
    for (int k : {5, 2, 3, 3, 6, 1}) {
        const Pop3Message* message = client.Fetch(k);
        QVERIFY2(message, qPrintable(client.Reason()));
        QCOMPARE(HeaderField(message->bytes, "Subject"), QStringLiteral("Message %1").arg(base + k - 1));
    }
    client.Quit();
}

void TestPop3Dovecot::plainServerWithoutTls()
{
    Dovecot plain(Dovecot::Tls::Off);
    QVERIFY2(plain.isRunning(), qPrintable(plain.error()));
    plain.addMessages(2, 400);
    Pop3Client client(trusting());
    QVERIFY2(client.Connect(plain.plainServer()), qPrintable(client.Reason()));
    QVERIFY(!client.Encrypted());
    QVERIFY(!client.Capabilities().stls);
    QCOMPARE(client.Authenticate(plain.user(), plain.password(), true), 2);
    const Pop3Message* message = client.Fetch(2);
    QVERIFY(message);
    QCOMPARE(message->bytes, Dovecot::MakeMessage(2, 400));
    client.Quit();
}

QTEST_GUILESS_MAIN(TestPop3Dovecot)
#include "test_pop3_dovecot.moc"
