// Figures of the new-only choice: one check of a mailbox of 402 messages of 100 KB in which
// nothing is new, with the choice off (every message retrieved) and on (unique ids only):
// the bytes the check moved (target with the choice on: at most 64 KB) and the wall time of
// its exchange, connect to close, on loopback and at a 20 ms round trip (bench-pop3-proxy,
// 10 ms each way). Against a private Dovecot, started and stopped here.
//
//   bench-newonly <bench-pop3-proxy>

#include "MeasuredLibrary.h"
#include "mail/CheckCycle.h"
#include "mail/NMailLibrary.h"
#include "settings/SettingsFiles.h"
#include "settings/SharedValues.h"
#include "support/Dovecot.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTcpServer>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace pelloway;
using pelloway::bench::MeasuredLibrary;

namespace {

constexpr int Messages = 402;
constexpr int MessageSize = 100 * 1024;
constexpr qint64 TargetBytes = 64 * 1024;

struct Figures
{
    qint64 bytesIn = 0;
    qint64 bytesOut = 0;
    std::vector<double> ms;
    double best() const { return *std::min_element(ms.begin(), ms.end()); }
    double median() const
    {
        std::vector<double> v = ms;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
};

quint16 FreePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <bench-pop3-proxy>\n", argv[0]);
        return 2;
    }
    test::Dovecot server(test::Dovecot::Tls::Off);
    if (!server.isRunning()) {
        std::fprintf(stderr, "bench-newonly: Dovecot did not start: %s\n", qPrintable(server.error()));
        return 1;
    }
    server.addMessages(Messages, MessageSize);

    QProcess proxy;
    const quint16 proxyPort = FreePort();
    proxy.start(QString::fromLocal8Bit(argv[1]),
                {QString::number(proxyPort), QString::number(server.plainPort()), QStringLiteral("10")});
    if (!proxy.waitForReadyRead(5000)) {
        std::fprintf(stderr, "bench-newonly: the delay proxy did not start\n");
        return 1;
    }

    test::AppFolder folder;
    SettingsFiles files(folder.path(), folder.file(QStringLiteral("vbmail.ini")));
    files.StoreAccount(QString::fromLatin1(server.user()), QString::fromLatin1(server.password()), true);
    SharedValues values;
    MeasuredLibrary library;
    test::CallLog log;
    test::RecordingCheckHost host(log);
    CheckCycle cycle(library, files, values, host);
    QString reported;
    cycle.wait = [&](int) { reported = cycle.msgForm().loadedForm()->Text2->text(); };
    QStringList failures;
    cycle.failureLine = [&](const QString& line) { failures.append(line); };
    cycle.errorBox = [&](const QString& text) { failures.append(text); };

    // Off: every message counts and is retrieved. On: the first check remembers all 402,
    // the measured ones find nothing new.
    const auto measure = [&](int newMailOnly, const QString& server, int rounds, Figures& figures) {
        host.newMailOnlyChoice = newMailOnly;
        values.PopServer = server;
        for (int round = 0; round < rounds; ++round) {
            cycle.CheckNewMail();
            const QString expected = newMailOnly ? QStringLiteral("0") : QString::number(Messages);
            if (!failures.isEmpty() || reported != expected) {
                std::fprintf(stderr, "bench-newonly: the check reported %s: %s\n", qPrintable(reported),
                             qPrintable(failures.join(u'\n')));
                return false;
            }
            figures.bytesIn = library.bytesIn;
            figures.bytesOut = library.bytesOut;
            figures.ms.push_back(library.exchangeMs);
        }
        return true;
    };
    const QString loopback = server.plainServer();
    const QString far = QStringLiteral("plain://127.0.0.1:%1").arg(proxyPort);
    // The remembered ids are kept by server name: each name's first check remembers the 402.
    const auto prime = [&](const QString& server) {
        host.newMailOnlyChoice = 1;
        values.PopServer = server;
        cycle.CheckNewMail();
        const bool primed = failures.isEmpty() && reported == QString::number(Messages);
        failures.clear();
        return primed;
    };
    Figures off, on, offFar, onFar;
    if (!prime(loopback) || !measure(0, loopback, 5, off) || !measure(1, loopback, 9, on) || !prime(far) ||
        !measure(0, far, 3, offFar) || !measure(1, far, 5, onFar)) {
        proxy.terminate();
        proxy.waitForFinished(3000);
        return 1;
    }
    proxy.terminate();
    proxy.waitForFinished(3000);

    std::printf("one check of %d x %d B with nothing new (exchange connect..close, best / median ms)\n",
                Messages, MessageSize);
    std::printf("  %-26s %12s %10s %20s %20s\n", "", "bytes in", "bytes out", "loopback", "20 ms round trip");
    const auto row = [](const char* name, const Figures& near, const Figures& farAway) {
        std::printf("  %-26s %12lld %10lld %9.1f / %8.1f %9.1f / %8.1f\n", name, near.bytesIn, near.bytesOut,
                    near.best(), near.median(), farAway.best(), farAway.median());
    };
    row("choice off (RETR each)", off, offFar);
    row("choice on (UIDL only)", on, onFar);
    const qint64 moved = on.bytesIn + on.bytesOut;
    std::printf("  bytes moved with the choice on: %lld (target <= %lld) %s; off/on = %.0f x\n", moved,
                TargetBytes, moved <= TargetBytes ? "met" : "MISSED",
                double(off.bytesIn + off.bytesOut) / double(std::max<qint64>(moved, 1)));
    return moved <= TargetBytes ? 0 : 1;
}
