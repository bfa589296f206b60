// The POP3 client against a private Dovecot: logins, TLS, certificate checks, counts,
// sizes, contents, pipelining and that nothing is deleted. Faults a real server will not
// produce, and the wire without TLS, are test_pop3_faults' part.

#include "platform/linux/pop3/MessageHeaders.h"
#include "platform/linux/pop3/Pop3Client.h"
#include "support/Dovecot.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <memory>

using namespace pelloway::pop3;
using pelloway::test::Dovecot;

class TestPop3Dovecot : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_server = std::make_unique<Dovecot>();
        QVERIFY2(m_server->isRunning(), qPrintable(m_server->error()));
    }
    void cleanupTestCase()
    {
        m_server.reset();
        m_selfSigned.reset();
    }
    // STLS on the plain port, then APOP.
    void logsIn()
    {
        m_server->clearMailbox();
        m_server->addMessages(2, 500);
        Pop3Client client(trusting());
        QVERIFY2(client.Connect(localhostPlain()), qPrintable(client.Reason()));
        QVERIFY(client.Encrypted());
        QVERIFY(client.Capabilities().pipelining);
        QVERIFY(!client.Capabilities().stls); // asked again after STLS, where it is no longer offered
        QCOMPARE(client.Authenticate(m_server->user(), m_server->password(), true), 2);
        client.Quit();
    }
    void fetchesMailbox_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("window");
        QTest::addColumn<QList<int>>("order"); // the messages fetched; empty: 1 to count
        QTest::newRow("empty") << 0 << 0 << 256 << QList<int>();
        QTest::newRow("thousand") << 1000 << 4096 << 256 << QList<int>();
        QTest::newRow("one large") << 1 << 3 * 1024 * 1024 << 256 << QList<int>();
        // Ahead of the window, back before it, inside it, and the same one twice.
        QTest::newRow("out of order") << 6 << 300 << 3 << QList<int>{1, 5, 2, 3, 3, 6, 1};
    }
    void fetchesMailbox()
    {
        QFETCH(int, count);
        QFETCH(int, size);
        QFETCH(int, window);
        QFETCH(QList<int>, order);
        m_server->clearMailbox();
        m_server->addMessages(count, size);
        Pop3Options options = trusting();
        options.pipelineWindow = window;
        Pop3Client client(options);
        QVERIFY2(client.Connect(localhostPlain()), qPrintable(client.Reason()));
        QCOMPARE(client.Authenticate(m_server->user(), m_server->password(), false), count);
        QCOMPARE(client.MessageCount(), count);
        for (int k = 1; order.size() < count; ++k)
            order << k;
        int first = 0;
        for (int k : order) {
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
        if (count > 0)
            QVERIFY2(client.RoundTripsToFirstMessage() <= 8,
                     qPrintable(QString::number(client.RoundTripsToFirstMessage())));
        client.Quit();

        // Nothing was deleted.
        QCOMPARE(m_server->messageFiles(), count);
    }
    // CA certificates named by SSL_CERT_FILE or SSL_CERT_DIR are trusted as the system's are.
    void caFromEnvironment_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::newRow("SSL_CERT_FILE") << QByteArray("SSL_CERT_FILE");
        QTest::newRow("SSL_CERT_DIR") << QByteArray("SSL_CERT_DIR");
    }
    void caFromEnvironment()
    {
        QFETCH(QByteArray, variable);
        Pop3Options options = trusting();
        options.extraCaCertificates.clear();
        QTemporaryDir dir;
        QVERIFY(QFile::copy(m_server->caFile(), dir.filePath(QStringLiteral("test-ca.pem"))));
        const QString value = variable == "SSL_CERT_FILE" ? dir.filePath(QStringLiteral("test-ca.pem"))
                                                          : QStringLiteral("/nonexistent:") + dir.path();
        {
            Pop3Client client(options);
            QVERIFY(!client.Connect(localhostPlain()));
            QCOMPARE(client.Error(), Pop3Error::Certificate);
        }
        qputenv(variable.constData(), QFile::encodeName(value));
        Pop3Client client(options);
        const bool connected = client.Connect(localhostPlain());
        qunsetenv(variable.constData());
        QVERIFY2(connected, qPrintable(client.Reason()));
        QVERIFY(client.Encrypted());
        client.Quit();
    }
    // A certificate the user trusts passes for exactly the server it was trusted for; a
    // different certificate, or the same one under another name, is refused as before and
    // described for the user, the former as a changed certificate.
    void trustedCertificate_data()
    {
        QTest::addColumn<QString>("host"); // the name connected to
        QTest::addColumn<bool>("implicitTls");
        QTest::addColumn<int>("pin"); // 0 none, 1 this certificate, 2 another one
        QTest::addColumn<bool>("passes");
        QTest::addColumn<QList<int>>("errors"); // QSslError::SslError values expected among the reasons
        const QList<int> selfSigned = {int(QSslError::SelfSignedCertificate)};
        const QList<int> wrongName = {int(QSslError::SelfSignedCertificate),
                                      int(QSslError::HostNameMismatch)};
        QTest::newRow("STLS, not trusted") << "localhost" << false << 0 << false << selfSigned;
        QTest::newRow("STLS, trusted") << "localhost" << false << 1 << true << QList<int>();
        QTest::newRow("STLS, another trusted") << "localhost" << false << 2 << false << selfSigned;
        QTest::newRow("trusted for localhost, reached as 127.0.0.1")
            << "127.0.0.1" << false << 1 << false << wrongName;
    }
    void trustedCertificate()
    {
        QFETCH(QString, host);
        QFETCH(bool, implicitTls);
        QFETCH(int, pin);
        QFETCH(bool, passes);
        QFETCH(QList<int>, errors);
        if (!m_selfSigned)
            m_selfSigned = std::make_unique<Dovecot>(Dovecot::Tls::SelfSigned);
        Dovecot& selfSigned = *m_selfSigned;
        QVERIFY2(selfSigned.isRunning(), qPrintable(selfSigned.error()));
        const QByteArray digest = CertificateDigest(selfSigned.serverCertificate());
        QCOMPARE(digest.size(), 32);

        const quint16 port = implicitTls ? selfSigned.tlsPort() : selfSigned.plainPort();
        Pop3Options options = trusting();
        const QString localhostKey = QStringLiteral("localhost:%1").arg(port);
        if (pin == 1)
            options.trustedCertificates.insert(localhostKey, digest);
        else if (pin == 2)
            options.trustedCertificates.insert(localhostKey,
                                               CertificateDigest(m_server->serverCertificate()));
        Pop3Client client(options);
        const QString server =
            (implicitTls ? QStringLiteral("pop3s://%1:%2") : QStringLiteral("%1:%2")).arg(host).arg(port);
        QCOMPARE(client.Connect(server), passes);
        if (passes) {
            QVERIFY(client.Encrypted());
            QVERIFY(client.Untrusted().isNull());
            QCOMPARE(client.Authenticate(selfSigned.user(), selfSigned.password(), false), 0);
            client.Quit();
            return;
        }
        QCOMPARE(client.Error(), Pop3Error::Certificate);
        const CertificateProblem& problem = client.Untrusted();
        QVERIFY(!problem.isNull());
        QCOMPARE(problem.server, QStringLiteral("%1:%2").arg(host).arg(port));
        QCOMPARE(CertificateDigest(problem.certificate), digest);
        QCOMPARE(problem.changed, pin == 2);
        for (int error : errors) {
            QVERIFY2(problem.errors.contains(QSslError::SslError(error)), qPrintable(QString::number(error)));
            QVERIFY(problem.Reasons().join(u'\n').contains(ProblemText(QSslError::SslError(error))));
        }
        QCOMPARE(client.Authenticate(selfSigned.user(), selfSigned.password(), false), -1);
    }

private:
    Pop3Options trusting() const
    {
        Pop3Options options;
        options.extraCaCertificates = m_server->caCertificates();
        options.responseTimeoutMs = 10000;
        return options;
    }
    QString localhostPlain() const { return QStringLiteral("localhost:%1").arg(m_server->plainPort()); }

    std::unique_ptr<Dovecot> m_server;
    std::unique_ptr<Dovecot> m_selfSigned; // with a self-signed certificate, started when first needed
};

QTEST_GUILESS_MAIN(TestPop3Dovecot)
#include "test_pop3_dovecot.moc"
