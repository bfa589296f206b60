// bench-hostile: the real check's library with its real bounds (bench-pop3-check) against
// servers that misbehave, each played by a scripted server here. For each case: how long
// the check took to end, the reason it gave, and its peak resident memory beside its idle
// size. An honest mailbox of the same shape comes first for comparison.
//
//   bench-hostile-driver <bench-pop3-check> [case name part]

#include "platform/Ansi.h"
#include "support/ScriptedPop3Server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <cstdio>
#include <functional>

using pelloway::test::ScriptedPop3Server;
using Peer = ScriptedPop3Server::Peer;

namespace {

const QByteArray Greeting = "+OK ready\r\n";

// A mailbox without pipelining: `messages` as they are sent, `listed` as LIST gives their
// sizes (the true sizes when empty). Answers until QUIT or the client hangs up.
void Mailbox(Peer& peer, const QList<QByteArray>& messages, const QList<qint64>& listed = {})
{
    peer.send(Greeting);
    for (;;) {
        const QByteArray line = peer.readLine(30000);
        const QByteArray verb = line.split(' ').front().toUpper();
        if (line.isEmpty() || verb == "QUIT") {
            peer.send("+OK bye\r\n");
            return;
        }
        if (verb == "CAPA") {
            peer.send("+OK\r\nUSER\r\n.\r\n");
        } else if (verb == "USER" || verb == "PASS") {
            peer.send("+OK\r\n");
        } else if (verb == "STAT") {
            peer.send("+OK " + QByteArray::number(messages.size()) + " 0\r\n");
        } else if (verb == "LIST") {
            QByteArray list = "+OK\r\n";
            for (qsizetype i = 0; i < messages.size(); ++i)
                list += QByteArray::number(i + 1) + ' ' +
                        QByteArray::number(listed.isEmpty() ? messages[i].size() : listed.value(i)) + "\r\n";
            peer.send(list + ".\r\n");
        } else if (verb == "RETR") {
            const qsizetype k = line.mid(5).toLongLong();
            if (k < 1 || k > messages.size())
                peer.send("-ERR no such message\r\n");
            else
                peer.send("+OK\r\n" + messages[k - 1] + ".\r\n");
        } else {
            peer.send("-ERR\r\n");
        }
    }
}

// Greeted, CAPA and login answered, STAT read.
void UpToStat(Peer& peer)
{
    peer.send(Greeting);
    peer.expect("CAPA");
    peer.send("+OK\r\nUSER\r\n.\r\n");
    for (const char* command : {"USER", "PASS"}) {
        peer.expect(command);
        peer.send("+OK\r\n");
    }
    peer.expect("STAT");
}

QByteArray Message(int bodyBytes, const QByteArray& subject = "small")
{
    QByteArray body;
    const QByteArray line = QByteArray(70, 'x') + "\r\n";
    while (body.size() < bodyBytes)
        body += line;
    return "Subject: " + subject + "\r\n\r\n" + body;
}

struct Case
{
    const char* name;
    ScriptedPop3Server::Script script;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s <bench-pop3-check> [case]\n", argv[0]);
        return 2;
    }
    const QString check = QString::fromLocal8Bit(argv[1]);
    const QString only = argc == 3 ? QString::fromLocal8Bit(argv[2]) : QString();

    const QList<QByteArray> small(2000, Message(0));
    const QList<QByteArray> big{Message(100 << 20)};
    const QByteArray opens = QByteArray("=?a").repeated(100000);
    const Case cases[] = {
        {"honest: 2000 x 60 B", [&](Peer& p) { Mailbox(p, small); }},
        {"LIST far above: 2000 x 60 B listed 2e9",
         [&](Peer& p) { Mailbox(p, small, QList<qint64>(2000, 2000000000)); }},
        {"LIST far below: 1 MB listed 10", [&](Peer& p) { Mailbox(p, {Message(1 << 20)}, {10}); }},
        {"honest: one 20 MB message", [&](Peer& p) { Mailbox(p, {Message(20 << 20)}); }},
        {"honest: one 100 MB message", [&](Peer& p) { Mailbox(p, big); }},
        {"300 KB encoded-word Subject", [&](Peer& p) { Mailbox(p, {Message(100, opens)}); }},
        {"never answers", [](Peer& p) { p.waitForClose(120000); }},
        {"a byte every 5 s", [](Peer& p) { p.repeat("+", 5000); }},
        {"endless greeting line", [](Peer& p) { p.repeat(QByteArray(64 << 10, 'A')); }},
        {"endless CAPA",
         [](Peer& p) {
             p.send(Greeting);
             p.expect("CAPA");
             p.send("+OK\r\n");
             p.repeat(QByteArray(64, 'X') + "\r\n");
         }},
        {"endless message, listed 100",
         [](Peer& p) {
             UpToStat(p);
             p.send("+OK 1 100\r\n");
             p.expect("LIST");
             p.send("+OK\r\n1 100\r\n.\r\n");
             p.expect("RETR");
             p.send("+OK\r\n");
             p.repeat(QByteArray(1000, 'm') + "\r\n");
         }},
        {"100k messages in STAT, then closed",
         [](Peer& p) {
             UpToStat(p);
             p.send("+OK 100000 2000000000\r\n");
             p.close();
         }},
    };

    std::printf("%-42s %9s %10s %10s  %s\n", "case", "seconds", "idle MB", "peak MB", "reason");
    std::fflush(stdout);
    for (const Case& c : cases) {
        if (!QString::fromUtf8(c.name).contains(only))
            continue;
        ScriptedPop3Server server(c.script);
        QProcess process;
        QElapsedTimer timer;
        timer.start();
        process.start(check,
                      {QString::fromLatin1(server.address()), QStringLiteral("u"), QStringLiteral("p")});
        const bool ended = process.waitForFinished(600000);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        if (!ended) {
            process.kill();
            process.waitForFinished();
        }
        // The reason comes as the library writes it: cp932.
        const QString out = pelloway::FromAnsi(process.readAllStandardOutput());
        const auto field = [&](const QString& name) {
            const auto match = QRegularExpression(name + QStringLiteral("=(\\d+)")).match(out);
            return match.hasMatch() ? match.captured(1).toDouble() / 1024 : -1.0;
        };
        const auto reason = QRegularExpression(QStringLiteral("reason=(.*)")).match(out);
        const auto count = QRegularExpression(QStringLiteral("count=(-?\\d+)")).match(out);
        const QString ending = !ended ? QStringLiteral("DID NOT END")
                               : reason.hasMatch()
                                   ? reason.captured(1).trimmed()
                                   : QStringLiteral("(completed, %1 messages)").arg(count.captured(1));
        std::printf("%-42s %9.2f %10.1f %10.1f  %s\n", c.name, seconds, field(QStringLiteral("rss_idle_kb")),
                    field(QStringLiteral("rss_peak_kb")), qPrintable(ending));
        std::fflush(stdout);
        server.finish();
    }
    return 0;
}
