// The POP3 client against a scripted server that misbehaves in the ways a real one will
// not: every fault ends the call with an error and a reason, never a crash or a hang.

#include "platform/linux/pop3/Pop3Client.h"
#include "support/ScriptedPop3Server.h"

#include <QSemaphore>
#include <QSslSocket>
#include <QTest>
#include <functional>

using namespace pelloway::pop3;
using pelloway::test::ScriptedPop3Server;
using Peer = ScriptedPop3Server::Peer;

namespace {

// The greeting and CAPA answered with `caps`, as every dialogue here begins.
QByteArray Hello(const QByteArray& caps = "USER\r\n")
{
    return "+OK ready <1.2@test>\r\n> CAPA\r\n+OK\r\n" + caps + ".\r\n";
}

// USER, PASS, STAT and LIST answered one at a time; `sizes` are the LIST sizes, and STAT
// counts `count` messages, or as many as there are sizes.
QByteArray Login(const QList<qint64>& sizes, qsizetype count = -1)
{
    QByteArray dialogue = "> USER\r\n+OK\r\n> PASS\r\n+OK logged in\r\n> STAT\r\n+OK " +
                          QByteArray::number(count < 0 ? sizes.size() : count) + " 0\r\n> LIST\r\n+OK\r\n";
    for (int i = 0; i < sizes.size(); ++i)
        dialogue += QByteArray::number(i + 1) + ' ' + QByteArray::number(sizes[i]) + "\r\n";
    return dialogue + ".\r\n";
}

// Greeted and logged in with USER and PASS, and STAT read.
const QByteArray ToStat = Hello() + "> USER\r\n+OK\r\n> PASS\r\n+OK\r\n> STAT\r\n";

// Logged in with one message of `listed` bytes by LIST (none when negative), and RETR 1
// read.
QByteArray ToRetr(qint64 listed)
{
    return Hello() + Login(listed < 0 ? QList<qint64>() : QList<qint64>{listed}, 1) + "> RETR 1\r\n";
}

// With PIPELINING offered: USER, PASS, STAT and LIST read as one batch before any answer;
// three messages of 10 bytes.
const QByteArray PipelinedLogin = Hello("USER\r\nPIPELINING\r\n") +
                                  "> USER\r\n> PASS\r\n> STAT\r\n> LIST\r\n"
                                  "+OK\r\n+OK\r\n+OK 3 30\r\n+OK\r\n1 10\r\n2 10\r\n3 10\r\n.\r\n";

// The server's address in the form that allows a login without TLS.
QString Plain(const ScriptedPop3Server& server)
{
    return QStringLiteral("plain://") + QString::fromLatin1(server.address());
}

// Each command without its arguments, but RETR with its number.
QList<QByteArray> Verbs(const QList<QByteArray>& commands)
{
    QList<QByteArray> verbs;
    for (const QByteArray& command : commands)
        verbs.append(command.startsWith("RETR") ? command : command.split(' ').front());
    return verbs;
}

enum class At
{
    Connect,
    Login,
    Fetch,
};

// What the server does after a fault's dialogue: waits for the client to hang up, hangs up
// itself, or sends `chunk` again and again, `pauseMs` apart, until the client hangs up.
const ScriptedPop3Server::Script WaitForClose = [](Peer& p) { p.waitForClose(); };
const ScriptedPop3Server::Script HangUp = [](Peer& p) { p.close(); };
ScriptedPop3Server::Script Endless(const QByteArray& chunk, int pauseMs = 0)
{
    return [chunk, pauseMs](Peer& p) { p.repeat(chunk, pauseMs); };
}

struct Fault
{
    QByteArray dialogue;
    At at; // the call that fails
    Pop3Error error;
    const char* reason; // how the reason begins
    // When given, the commands the client sent, QUIT included: a dialogue still in step
    // ends with QUIT, a broken one is cut without it.
    QByteArray transcript = {};
    ScriptedPop3Server::Script then = WaitForClose;
    bool tls = false; // pop3s://
};

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestPop3Faults : public QObject
{
    Q_OBJECT

private slots:
    // The TLS library loads on first use, which under a sanitizer on a busy machine can take
    // longer than the scaled-down silence bound of the rows below.
    void initTestCase() { QVERIFY(QSslSocket::supportsSsl()); }

    void failsWithReason_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::newRow("-ERR greeting")
            << Fault{"-ERR [SYS/TEMP] too busy\r\n", At::Connect, Pop3Error::Greeting,
                     "サーバーが接続を受け付けませんでした。(-ERR [SYS/TEMP] too busy)"};
        QTest::newRow("TLS handshake with a plain server") << Fault{"+OK ready <1.2@test>\r\n",
                                                                    At::Connect,
                                                                    Pop3Error::Certificate,
                                                                    "暗号化通信を開始できませんでした。",
                                                                    "",
                                                                    WaitForClose,
                                                                    true};
        QTest::newRow("STLS refused")
            << Fault{Hello("STLS\r\n") + "> STLS\r\n-ERR not now\r\n", At::Connect, Pop3Error::Certificate,
                     "暗号化通信を開始できませんでした。(-ERR not now)"};
        QTest::newRow("plain bytes after STLS")
            << Fault{Hello("STLS\r\n") + "> STLS\r\n+OK begin\r\n+OK injected\r\n", At::Connect,
                     Pop3Error::Certificate, "暗号化通信を開始できませんでした。"};
        QTest::newRow("wrong password")
            << Fault{Hello() + "> USER\r\n+OK\r\n> PASS\r\n-ERR [AUTH] Authentication failed.\r\n", At::Login,
                     Pop3Error::Auth, "認証に失敗しました。(-ERR [AUTH] Authentication failed.)",
                     "CAPA USER PASS QUIT"};
        QTest::newRow("STAT refused") << Fault{
            ToStat + "-ERR [IN-USE] locked\r\n", At::Login, Pop3Error::Mailbox,
            "メールボックスの状態を取得できませんでした。(-ERR [IN-USE] locked)", "CAPA USER PASS STAT QUIT"};
        QTest::newRow("closed in mid-message") << Fault{ToRetr(100) + "+OK\r\nSubject: cut\r\n\r\nhalf a li",
                                                        At::Fetch,
                                                        Pop3Error::Closed,
                                                        "サーバーとの接続が切れました。",
                                                        "",
                                                        HangUp};
        QTest::newRow("stall in mid-message")
            << Fault{ToRetr(100) + "+OK\r\nSubject: slow\r\n", At::Fetch, Pop3Error::Timeout,
                     "サーバーの応答が時間切れになりました。"};
        QTest::newRow("garbage for RETR")
            << Fault{ToRetr(100) + "<html>\r\n", At::Fetch, Pop3Error::Protocol,
                     "サーバーの応答が正しくありません。(", "CAPA USER PASS STAT LIST RETR 1"};
        QTest::newRow("100k messages in STAT, then closed")
            << Fault{ToStat + "+OK 100000 2000000000\r\n", At::Login, Pop3Error::Closed,
                     "サーバーとの接続が切れました。",     "",        HangUp};
        // The hostile ones: each ends within its bound (short ones here, see Quick()).
        QTest::newRow("never answers")
            << Fault{"", At::Connect, Pop3Error::Timeout, "サーバーの応答が時間切れになりました。"};
        QTest::newRow("a byte now and then") << Fault{
            "", At::Connect, Pop3Error::TooSlow, "サーバーからの受信が遅すぎます。", "", Endless("+", 100)};
        QTest::newRow("endless CAPA") << Fault{"+OK ready <1.2@test>\r\n> CAPA\r\n+OK\r\n",
                                               At::Connect,
                                               Pop3Error::TooLarge,
                                               "サーバーの応答が大きすぎます。",
                                               "CAPA",
                                               Endless("X-FILLER\r\n")};
        QTest::newRow("endless message, steady, listed huge") << Fault{
            ToRetr(2000000000) + "+OK\r\n",           At::Fetch, Pop3Error::Overtime,
            "メールチェックが時間切れになりました。", "",        Endless(QByteArray(4000, 'm') + "\r\n", 20)};
    }
    void failsWithReason()
    {
        QFETCH(Fault, fault);
        ScriptedPop3Server server([&fault](Peer& p) {
            p.play(fault.dialogue);
            fault.then(p);
        });
        Pop3Client client(Quick());
        // Past the connect, the dialogue goes on without TLS: the name must allow it.
        const QString address = (fault.tls                 ? QStringLiteral("pop3s://")
                                 : fault.at == At::Connect ? QString()
                                                           : QStringLiteral("plain://")) +
                                QString::fromLatin1(server.address());
        const bool connected = client.Connect(address);
        QCOMPARE(connected, fault.at != At::Connect);
        if (connected) {
            const int count = client.Authenticate("user", "pass", false);
            QCOMPARE(count >= 0, fault.at == At::Fetch);
            if (count > 0)
                QVERIFY(!client.Fetch(1));
        }
        QCOMPARE(client.Error(), fault.error);
        QVERIFY2(client.Reason().startsWith(QString::fromUtf8(fault.reason)), qPrintable(client.Reason()));
        // After a broken dialogue every later call fails at once with the same reason.
        QVERIFY(!client.Fetch(1));
        client.Quit();
        QCOMPARE(client.Error(), fault.error);
        server.finish();
        if (!fault.transcript.isEmpty())
            QCOMPARE(Verbs(server.commands()).join(' '), fault.transcript);
    }
    // Without STLS on offer no ID, password or digest leaves unless the name allows it; with
    // "plain://" the login goes out as it is, and STLS on offer is left alone.
    void noLoginWithoutTls_data()
    {
        QTest::addColumn<QByteArray>("hello");
        QTest::addColumn<bool>("plain");
        QTest::addColumn<bool>("apop");
        QTest::addColumn<QList<QByteArray>>("sent");
        const QList<QByteArray> refused = {"CAPA", "QUIT"};
        QTest::newRow("no STLS in CAPA") << Hello() << false << false << refused;
        QTest::newRow("CAPA refused")
            << QByteArray("+OK ready <1.2@test>\r\n> CAPA\r\n-ERR what?\r\n") << false << false << refused;
        QTest::newRow("no STLS, plain://")
            << Hello() << true << false
            << QList<QByteArray>{"CAPA", "USER user", "PASS secret", "STAT", "LIST", "QUIT"};
        QTest::newRow("STLS on offer, plain://, APOP")
            << Hello("STLS\r\nUSER\r\n") << true << true
            << QList<QByteArray>{"CAPA", "APOP user " + Pop3Client::ApopDigest("<1.2@test>", "secret"),
                                 "STAT", "LIST", "QUIT"};
    }
    void noLoginWithoutTls()
    {
        QFETCH(QByteArray, hello);
        QFETCH(bool, plain);
        QFETCH(bool, apop);
        QFETCH(QList<QByteArray>, sent);
        ScriptedPop3Server server([hello](Peer& p) {
            p.play(hello);
            for (QByteArray line = p.readLine(2000); !line.isEmpty(); line = p.readLine(2000)) {
                if (line.startsWith("STAT"))
                    p.send("+OK 0 0\r\n");
                else if (line.startsWith("LIST"))
                    p.send("+OK\r\n.\r\n");
                else
                    p.send("+OK\r\n");
                if (line == "QUIT")
                    break;
            }
        });
        Pop3Client client(Quick());
        const QString address = plain ? Plain(server) : QString::fromLatin1(server.address());
        QCOMPARE(client.Connect(address), plain);
        if (plain) {
            QCOMPARE(client.Authenticate("user", "secret", apop), 0);
            QVERIFY(!client.Encrypted());
        } else {
            QCOMPARE(client.Error(), Pop3Error::Unencrypted);
            QVERIFY2(client.Reason().contains(QStringLiteral("plain://127.0.0.1:%1").arg(server.port())),
                     qPrintable(client.Reason()));
            QCOMPARE(client.Authenticate("user", "secret", apop), -1);
        }
        client.Quit();
        server.finish();
        QCOMPARE(server.commands(), sent);
    }
    void apopWithoutTimestampSendsNothing()
    {
        ScriptedPop3Server server([](Peer& p) {
            p.play("+OK no stamp here\r\n> CAPA\r\n+OK\r\nUSER\r\n.\r\n");
            p.waitForClose(5000);
        });
        Pop3Client client(Quick());
        QVERIFY(client.Connect(Plain(server)));
        QCOMPARE(client.Authenticate("user", "secret", true), -1);
        QCOMPARE(client.Error(), Pop3Error::ApopUnsupported);
        QCOMPARE(client.Reason(), QStringLiteral("サーバーがAPOPに対応していません。(+OK no stamp here)"));
        client.Quit();
        server.finish();
        QCOMPARE(server.commands(), (QList<QByteArray>{"CAPA", "QUIT"}));
    }
    void messageBounds_data()
    {
        QTest::addColumn<qint64>("listed");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("fits");
        // Bound: the LIST size, 64 bytes of slack here and a sixteenth of the size.
        QTest::newRow("within the slack") << qint64(4000) << 4300 << true;
        QTest::newRow("LIST far below the truth") << qint64(10) << 5000 << false;
        QTest::newRow("LIST far above the truth") << qint64(2000000000) << 60 << true;
        QTest::newRow("not listed, within the bound") << qint64(-1) << 3000 << true;
        QTest::newRow("not listed, past the bound") << qint64(-1) << 5000 << false;
    }
    void messageBounds()
    {
        QFETCH(qint64, listed);
        QFETCH(int, length);
        QFETCH(bool, fits);
        const QByteArray body = QByteArray(length - 2, 'x') + "\r\n";
        ScriptedPop3Server server([&](Peer& p) {
            p.play(ToRetr(listed) + "+OK\r\n" + body + ".\r\n");
            p.waitForClose(5000);
        });
        Pop3Options options = Quick();
        options.messageSlack = 64;
        options.unlistedMessageLimit = 4096;
        Pop3Client client(options);
        QVERIFY(client.Connect(Plain(server)));
        QCOMPARE(client.Authenticate("user", "pass", false), 1);
        const Pop3Message* message = client.Fetch(1);
        QCOMPARE(message != nullptr, fits);
        if (fits) {
            QCOMPARE(message->totalBytes, qint64(length));
            QCOMPARE(message->bytes, body);
            // Room follows what arrived, not what LIST claimed.
            QVERIFY(message->bytes.capacity() <= 2 * length + 4096);
        } else {
            QCOMPARE(client.Error(), Pop3Error::TooLarge);
            QVERIFY2(client.Reason().startsWith(QStringLiteral("サーバーの応答が大きすぎます。")),
                     qPrintable(client.Reason()));
        }
        client.Quit();
        server.finish();
        // A message past its bound cuts the connection: no goodbye.
        QCOMPARE(server.commands().last(), fits ? QByteArray("QUIT") : QByteArray("RETR 1"));
    }
    void oneCommandAtATimeOtherwise()
    {
        // Without PIPELINING no command may arrive before the one before it is answered. A
        // client that did not wait would have written the next commands with this one, in the
        // same write, so they would be here as soon as this one is read: no waiting needed.
        bool early = false;
        ScriptedPop3Server server([&](Peer& p) {
            p.play(Hello());
            for (const char* command : {"USER", "PASS", "STAT"}) {
                p.expect(command);
                early = early || p.pending();
                p.send(QByteArray(command) == "STAT" ? "+OK 2 20\r\n" : "+OK\r\n");
            }
            p.play("> LIST\r\n+OK\r\n1 10\r\n2 10\r\n.\r\n");
            for (const char* command : {"RETR 1", "RETR 2"}) {
                p.expect(command);
                early = early || p.pending();
                p.send("+OK\r\nA: 1\r\n.\r\n");
            }
            p.play("> QUIT\r\n+OK bye\r\n");
        });
        Pop3Options options = Quick();
        options.responseTimeoutMs = 5000;
        Pop3Client client(options);
        QVERIFY(client.Connect(Plain(server)));
        QCOMPARE(client.Authenticate("user", "pass", false), 2);
        QVERIFY(client.Fetch(1));
        QVERIFY(client.Fetch(2));
        client.Quit();
        server.finish();
        QVERIFY(!early);
    }
    void readsAheadWhatHasArrived()
    {
        // With PIPELINING the login and the RETRs go out in batches: the script reads every
        // command of a batch before it answers any, so a client that waited for each answer
        // would stall. Replies 1 to 3 arrive together, 2 refused; 4 comes only once 3 was
        // handed out.
        QSemaphore fourth;
        ScriptedPop3Server server([&](Peer& p) {
            p.play(Hello("USER\r\nPIPELINING\r\n") +
                   "> USER\r\n> PASS\r\n> STAT\r\n> LIST\r\n"
                   "+OK\r\n+OK\r\n+OK 4 40\r\n+OK\r\n1 10\r\n2 10\r\n3 10\r\n4 10\r\n.\r\n"
                   "> RETR 1\r\n> RETR 2\r\n> RETR 3\r\n> RETR 4\r\n"
                   "+OK\r\nA: 1\r\n.\r\n-ERR gone\r\n+OK\r\nA: 3\r\n.\r\n");
            fourth.tryAcquire(1, 10000);
            p.play("+OK\r\nA: 4\r\n.\r\n> QUIT\r\n+OK\r\n");
        });
        Pop3Options options = Quick();
        options.responseTimeoutMs = 5000;
        Pop3Client client(options);
        QVERIFY(client.Connect(Plain(server)));
        QCOMPARE(client.Authenticate("user", "pass", false), 4);
        QVERIFY(client.Fetch(1));
        client.ReadAhead(1 << 20);
        QCOMPARE(client.Current().bytes, QByteArray("A: 1\r\n")); // still holding the first
        QVERIFY(client.HasAhead(2));
        QVERIFY(!client.TakeAhead(2));
        QCOMPARE(client.Reason(), QStringLiteral("メールを取得できませんでした。(-ERR gone)"));
        QVERIFY(client.HasAhead(3));
        const Pop3Message* three = client.Fetch(3);
        QVERIFY2(three, qPrintable(client.Reason()));
        QCOMPARE(three->bytes, QByteArray("A: 3\r\n"));
        // Nothing more has arrived: nothing more is read ahead, and 4 is read when asked for.
        client.ReadAhead(1 << 20);
        QVERIFY(!client.HasAhead(4));
        fourth.release();
        const Pop3Message* four = client.Fetch(4);
        QVERIFY2(four, qPrintable(client.Reason()));
        QCOMPARE(four->bytes, QByteArray("A: 4\r\n"));
        client.Quit();
        server.finish();
        QCOMPARE(server.commands().count("RETR 2"), 1);
    }
    void uniqueIdsAndPipelinedHeaders()
    {
        // The TOP commands must arrive together: the script reads both before answering.
        ScriptedPop3Server server([](Peer& p) {
            // Message 2's line is not an id; message 4 does not exist.
            p.play(PipelinedLogin +
                   "> UIDL\r\n+OK\r\n1 id-one\r\n2 two words\r\n3 id-three\r\n4 id-four\r\n.\r\n"
                   "> TOP 3 0\r\n> TOP 1 0\r\n"
                   "+OK\r\nSubject: three\r\n\r\n.\r\n+OK\r\nSubject: one\r\n\r\n.\r\n"
                   "> QUIT\r\n+OK bye\r\n");
        });
        Pop3Options options = Quick();
        options.responseTimeoutMs = 5000;
        Pop3Client client(options);
        QVERIFY(client.Connect(Plain(server)));
        QCOMPARE(client.Authenticate("user", "pass", false), 3);
        QCOMPARE(client.ReadUniqueIds(), 1);
        QCOMPARE(client.ReadUniqueIds(), 1); // asked once
        QCOMPARE(client.UniqueId(1), QByteArray("id-one"));
        QCOMPARE(client.UniqueId(2), QByteArray());
        QCOMPARE(client.UniqueId(3), QByteArray("id-three"));
        QCOMPARE(client.UniqueId(4), QByteArray());
        QVERIFY(client.QueueHeaders({3, 1}));
        const Pop3Message* three = client.FetchHeader(3);
        QVERIFY2(three, qPrintable(client.Reason()));
        QCOMPARE(three->bytes, QByteArray("Subject: three\r\n\r\n"));
        const Pop3Message* one = client.FetchHeader(1);
        QVERIFY2(one, qPrintable(client.Reason()));
        QCOMPARE(one->bytes, QByteArray("Subject: one\r\n\r\n"));
        // The connect, CAPA, the login batch, UIDL, the TOP batch: no RETR went out before.
        QCOMPARE(client.RoundTrips(), 5);
        client.Quit();
        server.finish();
        QCOMPARE(Verbs(server.commands()),
                 (QList<QByteArray>{"CAPA", "USER", "PASS", "STAT", "LIST", "UIDL", "TOP", "TOP", "QUIT"}));
    }
    void uniqueIdsRefusedLeavesTheConnection()
    {
        ScriptedPop3Server server([](Peer& p) {
            p.play(Hello() + Login({10}) +
                   "> UIDL\r\n-ERR unknown command\r\n"
                   "> TOP 1 0\r\n-ERR no TOP either\r\n"
                   "> RETR 1\r\n+OK\r\nA: 1\r\n.\r\n"
                   "> QUIT\r\n+OK bye\r\n");
        });
        Pop3Client client(Quick());
        QVERIFY(client.Connect(Plain(server)));
        QCOMPARE(client.Authenticate("user", "pass", false), 1);
        QCOMPARE(client.ReadUniqueIds(), 0);
        QCOMPARE(client.Error(), Pop3Error::UniqueIds);
        QCOMPARE(client.Reason(), QStringLiteral("サーバーがUIDLに対応していません。(-ERR unknown command)"));
        QCOMPARE(client.UniqueId(1), QByteArray());
        QVERIFY(!client.FetchHeader(1));
        QCOMPARE(client.Error(), Pop3Error::Header);
        const Pop3Message* message = client.Fetch(1);
        QVERIFY2(message, qPrintable(client.Reason()));
        QCOMPARE(message->bytes, QByteArray("A: 1\r\n"));
        client.Quit();
        server.finish();
        QCOMPARE(Verbs(server.commands()).last(), QByteArray("QUIT"));
    }
    // A listing or a header that runs on past its bound ends the connection with a reason
    // instead of being read for ever.
    void boundedReplies_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("endless");
        QTest::newRow("UIDL listing") << QByteArray("UIDL") << QByteArray("1 again-and-again\r\n");
        QTest::newRow("TOP header") << QByteArray("TOP 1 0") << QByteArray("X-Filler: 0123456789abcdef\r\n");
    }
    void boundedReplies()
    {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, endless);
        ScriptedPop3Server server([&](Peer& p) {
            p.play(Hello() + Login({10}) + "> " + command + "\r\n+OK\r\n");
            p.repeat(endless.repeated(512));
        });
        Pop3Options options = Quick();
        options.responseTimeoutMs = 5000;
        options.listLimit = 64 * 1024;
        options.headerLimit = 64 * 1024;
        Pop3Client client(options);
        QVERIFY(client.Connect(Plain(server)));
        QCOMPARE(client.Authenticate("user", "pass", false), 1);
        if (command == "UIDL")
            QCOMPARE(client.ReadUniqueIds(), -1);
        else
            QVERIFY(!client.FetchHeader(1));
        QCOMPARE(client.Error(), Pop3Error::TooLarge);
        QVERIFY2(client.Reason().contains(QStringLiteral("more than 65536 bytes")),
                 qPrintable(client.Reason()));
        QVERIFY(client.Closed());
        QVERIFY(client.BytesReceived() < 1024 * 1024);
        client.Quit();
        server.finish();
    }

private:
    static Pop3Options Quick()
    {
        // The real bounds scaled down: silence 0.5 s, 256 bytes a second at least, 4 s in all.
        Pop3Options options;
        options.connectTimeoutMs = 5000;
        options.responseTimeoutMs = 500;
        options.progressWindowMs = 1000;
        options.progressFloorBytes = 256;
        options.exchangeDeadlineMs = 4000;
        return options;
    }
};

QTEST_GUILESS_MAIN(TestPop3Faults)
#include "test_pop3_faults.moc"
