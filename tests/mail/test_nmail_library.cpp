// The ten operations as the check calls them, against a private Dovecot and a scripted
// server: counts, sizes, the four header texts in cp932, the body, reasons, and buffers
// that are never written past: NUL-terminated, cut to the limit and to the buffer, never
// half a cp932 character.

#include "mail/NMailLibrary.h"
#include "mail/Wait.h"
#include "platform/Ansi.h"
#include "support/Dovecot.h"
#include "support/ScriptedPop3Server.h"

#include <QCoreApplication>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <memory>
#include <vector>

using namespace pelloway;
using test::Dovecot;
using test::ScriptedPop3Server;

namespace {

constexpr int Guard = 32;
constexpr char GuardByte = '~';

// A caller's buffer with guard bytes on both sides.
class Buffer
{
public:
    explicit Buffer(int size, char fill = ' ') : m_memory(size_t(size + 2 * Guard), GuardByte)
    {
        std::fill(m_memory.begin() + Guard, m_memory.end() - Guard, fill);
    }
    std::span<char> span() { return {m_memory.data() + Guard, m_memory.size() - 2 * Guard}; }
    QByteArray bytes() const
    {
        return QByteArray(m_memory.data() + Guard, qsizetype(m_memory.size()) - 2 * Guard);
    }
    // The bytes before the first NUL (all of them when there is none).
    QByteArray text() const
    {
        const QByteArray all = bytes();
        return all.first(terminated() ? all.indexOf('\0') : all.size());
    }
    bool terminated() const { return bytes().contains('\0'); }
    bool guardsIntact() const
    {
        for (int i = 0; i < Guard; ++i) {
            if (m_memory[size_t(i)] != GuardByte || m_memory[m_memory.size() - 1 - size_t(i)] != GuardByte)
                return false;
        }
        return true;
    }

private:
    std::vector<char> m_memory;
};

struct Texts
{
    Buffer subject{Pop3Library::TextBufferSize + 1};
    Buffer from{Pop3Library::TextBufferSize + 1};
    Buffer date{Pop3Library::TextBufferSize + 1};
    Buffer header{Pop3Library::TextBufferSize + 1};
    bool intact() const
    {
        return subject.guardsIntact() && from.guardsIntact() && date.guardsIntact() && header.guardsIntact();
    }
    // The operations that write the four texts, for message `k`.
    int status(NMailLibrary& library, int handle, int k)
    {
        return library.NMailPop3GetMailStatus(handle, k, subject.span(), from.span(), date.span(),
                                              header.span(), 0);
    }
    int mail(NMailLibrary& library, int handle, int k, Buffer& body)
    {
        return library.NMailPop3GetMail(handle, k, subject.span(), from.span(), date.span(), header.span(),
                                        body.span(), 0, 0);
    }
    int top(NMailLibrary& library, int handle, int k)
    {
        return library.NMailPop3GetMailHeader(handle, k, subject.span(), from.span(), date.span(),
                                              header.span());
    }
};

QByteArray Reason(NMailLibrary& library, int size = Pop3Library::TextBufferSize)
{
    Buffer buffer(Pop3Library::TextBufferSize + 1);
    library.NMailGetMessage(0, buffer.span(), size);
    return buffer.guardsIntact() && buffer.terminated() ? buffer.text() : QByteArray("<overrun>");
}

// Logs in to one message, takes RETR 1 and then keeps silent until the client hangs up.
// Fetch runs the fetch of message 1 through the library and calls `interrupt` from the
// caller's thread once the server is silent.
struct SilentAtRetr
{
    SilentAtRetr()
        : server([this](ScriptedPop3Server::Peer& p) {
              p.play("+OK <5@x>\r\n> CAPA\r\n+OK\r\nUSER\r\n.\r\n> USER\r\n+OK\r\n> PASS\r\n+OK\r\n"
                     "> STAT\r\n+OK 1 10\r\n> LIST\r\n+OK\r\n1 10\r\n.\r\n> RETR 1\r\n");
              waiting = true;
              p.waitForClose(60000);
              hungUp = p.socket().state() != QAbstractSocket::ConnectedState;
          })
    {}

    int fetch(const std::function<void()>& interrupt)
    {
        handle = library.NMailPop3Connect("plain://" + server.address());
        if (library.NMailPop3Authenticate(handle, "u", "p", false) != 1)
            return -2;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (waiting) {
                poll.stop();
                interrupt();
            }
        });
        poll.start(10);
        Texts texts;
        return texts.status(library, handle, 1);
    }

    std::atomic<bool> waiting = false;
    std::atomic<bool> hungUp = false;
    ScriptedPop3Server server;
    NMailLibrary library; // default bounds: the server's silence would last a minute
    int handle = -1;
};

} // namespace

class TestNMailLibrary : public QObject
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
    void writesText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("bufferSize");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QByteArray>("written");

        const QByteArray kana = ToAnsi(QStringLiteral("テスト")); // three two-byte characters
        QTest::newRow("fits") << QByteArray("abc") << 10 << 8192 << QByteArray("abc");
        QTest::newRow("exactly the buffer") << QByteArray("abcd") << 5 << 8192 << QByteArray("abcd");
        QTest::newRow("cut to the buffer") << QByteArray("abcdef") << 5 << 8192 << QByteArray("abcd");
        QTest::newRow("cut to the limit") << QByteArray("abcdef") << 100 << 3 << QByteArray("abc");
        QTest::newRow("one byte buffer holds the NUL") << QByteArray("abc") << 1 << 8192 << QByteArray();
        QTest::newRow("cp932 not split at the buffer") << kana << 6 << 8192 << kana.first(4);
        QTest::newRow("cp932 not split at the limit") << kana << 100 << 5 << kana.first(4);
        QTest::newRow("half-width kana is one byte")
            << QByteArray("\xb1\xb2\xb3") << 3 << 8192 << QByteArray("\xb1\xb2");
        QTest::newRow("negative limit") << QByteArray("abc") << 10 << -5 << QByteArray();
    }
    void writesText()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, bufferSize);
        QFETCH(int, limit);
        QFETCH(QByteArray, written);
        Buffer buffer(bufferSize, '#');
        QCOMPARE(NMailLibrary::WriteText(buffer.span(), text, limit), int(written.size()));
        QVERIFY(buffer.guardsIntact());
        // Nothing past the NUL is touched either.
        QCOMPARE(buffer.bytes(), written + '\0' + QByteArray(bufferSize - written.size() - 1, '#'));
    }
    void checksLikeTheCycle()
    {
        const QByteArray japanese = "Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?= 1\r\n"
                                    "From: =?UTF-8?B?5aSq6YOO?= <taro@localhost>\r\n"
                                    "Date: Mon, 7 Dec 2026 09:00:00 +0900\r\n"
                                    "Message-ID: <jp.1@localhost>\r\n\r\n"
                                    "..dotted\r\nbody\r\n";
        m_server->addMessage(japanese);
        m_server->addMessages(2, 3000);

        auto library = makeLibrary();
        const int handle = library->NMailPop3Connect(m_server->tlsServer().toLatin1());
        QVERIFY2(handle != -1, Reason(*library).constData());
        QCOMPARE(library->LastConnectFailure(), Pop3Library::ConnectFailure::None);
        const int count =
            library->NMailPop3Authenticate(handle, m_server->user(), m_server->password(), true);
        QCOMPARE(count, 3);

        const QList<QByteArray> bodies = {japanese, Dovecot::MakeMessage(2, 3000),
                                          Dovecot::MakeMessage(3, 3000)};
        for (int k = 1; k <= count; ++k) {
            Texts texts;
            texts.status(*library, handle, k);
            const int size = library->NMailPop3GetMailSize(handle, k);
            QCOMPARE(size, int(bodies[k - 1].size()));
            Buffer body(size + 1);
            Texts again;
            again.mail(*library, handle, k, body);
            QVERIFY(texts.intact() && again.intact() && body.guardsIntact());
            QCOMPARE(body.text(), bodies[k - 1]);
            QCOMPARE(again.subject.text(), texts.subject.text());
            if (k == 1) {
                QCOMPARE(texts.subject.text(), ToAnsi(QStringLiteral("テスト 1")));
                QCOMPARE(texts.from.text(), ToAnsi(QStringLiteral("太郎 <taro@localhost>")));
                QCOMPARE(texts.date.text(), QByteArray("Mon, 7 Dec 2026 09:00:00 +0900"));
                QCOMPARE(texts.header.text(), QByteArray("<jp.1@localhost>"));
            } else {
                QCOMPARE(texts.subject.text(), "Message " + QByteArray::number(k));
                QCOMPARE(texts.header.text(), "<" + QByteArray::number(k) + ".pelloway@localhost>");
            }
        }
        QCOMPARE(library->NMailPop3Close(handle), 0);
        library->NMailEndWinSock();
        QCOMPARE(m_server->messageFiles(), 3);
    }
    void failedConnects_data()
    {
        QTest::addColumn<int>("kind"); // 0 refused, 1 wrong host name, 2 bad server name, 3 no such host
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("reason");
        QTest::newRow("refused") << 0 << int(Pop3Library::ConnectFailure::Network)
                                 << QStringLiteral("サーバーに接続できませんでした。(");
        QTest::newRow("certificate for another name")
            << 1 << int(Pop3Library::ConnectFailure::Certificate)
            << QStringLiteral("サーバーの証明書を確認できませんでした。(");
        QTest::newRow("not a server name") << 2 << int(Pop3Library::ConnectFailure::Network)
                                           << QStringLiteral("サーバー名が正しくありません。(");
        QTest::newRow("no such host") << 3 << int(Pop3Library::ConnectFailure::Network)
                                      << QStringLiteral("サーバーが見つかりませんでした。(");
    }
    void failedConnects()
    {
        QFETCH(int, kind);
        QFETCH(int, failure);
        QFETCH(QString, reason);
        QByteArray server;
        if (kind == 0) {
            ScriptedPop3Server closed([](ScriptedPop3Server::Peer&) {});
            server = "127.0.0.1:" + QByteArray::number(closed.port());
            // Connect once so the scripted server ends; then nothing listens on its port.
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, closed.port());
            socket.waitForConnected(2000);
            closed.finish();
        } else if (kind == 1) {
            server = "pop3s://127.0.0.1:" + QByteArray::number(m_server->tlsPort());
        } else {
            server = kind == 2 ? "host:port" : "no-such-host.invalid";
        }
        auto library = makeLibrary();
        QCOMPARE(library->NMailPop3Connect(server), -1);
        QCOMPARE(int(library->LastConnectFailure()), failure);
        const QString text = FromAnsi(Reason(*library));
        QVERIFY2(text.startsWith(reason), qPrintable(text));
        if (kind != 1)
            return;
        // The certificate to put to the user; once trusted for that server, the connect passes.
        const pop3::CertificateProblem problem = library->LastCertificateProblem();
        QCOMPARE(problem.server, QStringLiteral("127.0.0.1:%1").arg(m_server->tlsPort()));
        QCOMPARE(problem.certificate, m_server->serverCertificate());
        library->SetTrustedCertificates({{problem.server, pop3::CertificateDigest(problem.certificate)}});
        const int handle = library->NMailPop3Connect(server);
        QVERIFY2(handle != -1, Reason(*library).constData());
        QCOMPARE(library->LastConnectFailure(), Pop3Library::ConnectFailure::None);
        QCOMPARE(library->NMailPop3Close(handle), 0);
    }
    void reasonCutToTheCallersSize()
    {
        auto library = makeLibrary();
        QCOMPARE(library->NMailPop3Connect("bad name"), -1);
        const QByteArray full = Reason(*library);
        QVERIFY(full.size() > 10);
        // A size of 6 holds five bytes and the NUL: two whole cp932 characters.
        QCOMPARE(Reason(*library, 6), full.first(4));
        QCOMPARE(Reason(*library, 0), QByteArray());
    }
    void badHandlesAndNumbers()
    {
        m_server->addMessages(1, 200);
        auto library = makeLibrary();
        Texts texts;
        Buffer body(10);
        QCOMPARE(library->NMailPop3Authenticate(7, "a", "b", false), -1);
        QCOMPARE(FromAnsi(Reason(*library)), QStringLiteral("接続が正しくありません。"));
        const int handle = library->NMailPop3Connect(m_server->plainServer().toLatin1());
        QCOMPARE(library->NMailPop3Authenticate(handle, m_server->user(), m_server->password(), false), 1);
        for (int k : {0, -1, 2}) {
            QCOMPARE(library->NMailPop3GetMailSize(handle, k), -1);
            QCOMPARE(texts.status(*library, handle, k), -1);
            QCOMPARE(texts.mail(*library, handle, k, body), -1);
            QVERIFY(texts.intact() && body.guardsIntact());
            QCOMPARE(texts.subject.text(), QByteArray());
            QVERIFY(FromAnsi(Reason(*library)).startsWith(QStringLiteral("メール番号が正しくありません。")));
        }
        // The connection still works after the refusals; an empty body buffer is left alone.
        Buffer none(0);
        QCOMPARE(texts.mail(*library, handle, 1, none), 0);
        QVERIFY(none.guardsIntact());
        QCOMPARE(texts.subject.text(), QByteArray("Message 1"));
        QCOMPARE(library->NMailPop3Close(handle), 0);
        QCOMPARE(library->NMailPop3Close(handle), -1);
    }
    void messageLongerThanItsSize()
    {
        // LIST says 40 bytes; the message runs past that but stays within the slack. The size
        // the caller gets, and so its body buffer, follows what arrived.
        const QByteArray longMessage = "Subject: big\r\n\r\n" + QByteArray(50000, 'b') + "\r\n";
        ScriptedPop3Server server([&](ScriptedPop3Server::Peer& p) {
            p.play("+OK <9@x>\r\n> CAPA\r\n+OK\r\nPIPELINING\r\n.\r\n"
                   "> USER\r\n> PASS\r\n> STAT\r\n> LIST\r\n+OK\r\n+OK\r\n+OK 1 40\r\n+OK\r\n1 40\r\n.\r\n"
                   "> RETR 1\r\n+OK\r\n" +
                   longMessage + ".\r\n> QUIT\r\n+OK\r\n");
        });
        auto library = makeLibrary();
        const int handle = library->NMailPop3Connect("plain://" + server.address());
        QCOMPARE(library->NMailPop3Authenticate(handle, "u", "p", false), 1);
        QCOMPARE(library->Client(handle)->Size(1), qint64(40));
        const int size = library->NMailPop3GetMailSize(handle, 1);
        QCOMPARE(size, int(longMessage.size()));
        Texts texts;
        Buffer body(size + 1);
        QCOMPARE(texts.mail(*library, handle, 1, body), 0);
        QVERIFY(body.guardsIntact() && texts.intact());
        QCOMPARE(body.text(), longMessage);
        QCOMPARE(texts.subject.text(), QByteArray("big"));
        QCOMPARE(library->NMailPop3Close(handle), 0);
        server.finish();
        QCOMPARE(server.commands().size(), 7); // one RETR for the size and the message
    }
    // The operations beyond the ten: every message's id, distinct and stable between
    // connections, written into the caller's buffer or refused when it does not fit; the four
    // header texts from TOP, the same as a full retrieval gives, with no RETR sent.
    void uniqueIdsAndHeaders()
    {
        m_server->addMessage(
            "Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=\r\nFrom: a@localhost\r\n\r\nbody\r\n");
        m_server->addMessages(2, 500);
        auto library = makeLibrary();
        QList<QByteArray> ids[2];
        for (QList<QByteArray>& seen : ids) {
            const int handle = library->NMailPop3Connect(m_server->plainServer().toLatin1());
            QVERIFY(handle != -1);
            QCOMPARE(library->NMailPop3Authenticate(handle, m_server->user(), m_server->password(), false),
                     3);
            for (int k = 1; k <= 3; ++k) {
                Buffer id(Pop3Library::TextBufferSize + 1);
                const int length = library->NMailPop3GetUidl(handle, k, id.span());
                QVERIFY2(length > 0, Reason(*library).constData());
                QCOMPARE(id.text().size(), length);
                QVERIFY(id.guardsIntact());
                seen << id.text();
            }
            // Too small for the id: refused, nothing written past the buffer.
            Buffer tiny(4, 'x');
            QCOMPARE(library->NMailPop3GetUidl(handle, 1, tiny.span()), -1);
            QVERIFY(tiny.guardsIntact() && tiny.terminated());
            QCOMPARE(library->NMailPop3GetUidl(handle, 4, tiny.span()), -1);

            Texts texts;
            const int numbers[] = {1, 3};
            QCOMPARE(library->NMailPop3QueueHeaders(handle, numbers), 2);
            QCOMPARE(texts.top(*library, handle, 1), 0);
            QCOMPARE(texts.subject.text(), ToAnsi(QStringLiteral("テスト")));
            QCOMPARE(texts.from.text(), QByteArray("a@localhost"));
            QCOMPARE(texts.top(*library, handle, 3), 0);
            QCOMPARE(texts.subject.text(), QByteArray("Message 3"));
            QCOMPARE(texts.header.text(), QByteArray("<3.pelloway@localhost>"));
            QVERIFY(texts.intact());
            // The body was never held: a retrieval still gets the whole message.
            Buffer body(600);
            QCOMPARE(texts.mail(*library, handle, 3, body), 0);
            QCOMPARE(body.text().size(), 500);
            library->NMailPop3Close(handle);
        }
        QCOMPARE(ids[0], ids[1]);
        QCOMPARE(QSet<QByteArray>(ids[0].begin(), ids[0].end()).size(), 3);
    }
    // The main window's unload step closes the library, or the program ends (a right click on
    // the bird), while a check waits: the waiting call fails at once, the rest of the check fails
    // without waiting, and the connection closes without a goodbye.
    void interruptionAbandonsTheExchange_data()
    {
        QTest::addColumn<bool>("ending");
        QTest::newRow("library closed") << false;
        QTest::newRow("program ending") << true;
    }
    void interruptionAbandonsTheExchange()
    {
        QFETCH(bool, ending);
        SilentAtRetr silent;
        const auto interrupt = [&] {
            if (ending)
                QCoreApplication::exit(0);
            else
                silent.library.NMailEndWinSock();
        };
        QCOMPARE(silent.fetch(interrupt), -1);
        QCOMPARE(ProgramEnding(), ending);
        QCOMPARE(FromAnsi(Reason(silent.library)), QStringLiteral("メールチェックを中止しました。"));
        QCOMPARE(silent.library.NMailPop3GetMailSize(silent.handle, 1), -1);
        // Closed already by the unload step; closing after the program's end still closes.
        QCOMPARE(silent.library.NMailPop3Close(silent.handle), ending ? 0 : -1);
        silent.server.finish();
        QVERIFY(silent.hungUp);
        QCOMPARE(silent.server.commands().last(), QByteArray("RETR 1"));
        ProgramEnd::resetInstance();
    }

private:
    std::unique_ptr<NMailLibrary> makeLibrary() const
    {
        pop3::Pop3Options options;
        options.extraCaCertificates = m_server->caCertificates();
        options.responseTimeoutMs = 10000;
        auto library = std::make_unique<NMailLibrary>(options);
        library->NMailInitializeWinSock();
        library->NMailSetOption(1, 8192);
        return library;
    }
    std::unique_ptr<Dovecot> m_server;
};

QTEST_GUILESS_MAIN(TestNMailLibrary)
#include "test_nmail_library.moc"
