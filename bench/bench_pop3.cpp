// bench-pop3: a whole check against a private Dovecot with our library and with three
// peers on the same mailbox: mpop (pipelines), curl (one process, one connection) and
// Python's poplib. Cases: 1000 x 4 KB and 20 x 1 MB, on loopback and through our proxy
// that holds traffic 10 ms each way. Each tool runs once to warm up and five times
// measured; the medians are compared. On the delayed 1000-message case curl and poplib
// take about a minute a run, so they run once there (marked "single run").
//
//   bench-pop3-driver <bench-pop3-check> <bench-pop3-proxy> [case name part]

#include "support/Dovecot.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <vector>

using pelloway::test::Dovecot;

namespace {

struct Tool
{
    QString name;
    QString program;
    QStringList arguments;
};

struct Timing
{
    double median = -1;
    bool single = false;
    QString detail; // our own program's figures
};

quint16 FreePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// One run: seconds, or nothing when the tool failed.
std::optional<double> RunOnce(const Tool& tool, QString* output = nullptr)
{
    QProcess process;
    process.setStandardOutputFile(output ? QString() : QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(tool.program, tool.arguments);
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "  %s failed: %s\n", qPrintable(tool.name),
                     process.readAllStandardError().left(300).constData());
        return std::nullopt;
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (output)
        *output = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    return seconds;
}

Timing Measure(const Tool& tool, int runs, bool warmUp)
{
    Timing timing;
    timing.single = runs == 1;
    if (warmUp && !RunOnce(tool))
        return timing;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QString output;
        const auto seconds = RunOnce(tool, tool.name == u"ours" ? &output : nullptr);
        if (!seconds)
            return timing;
        times.push_back(*seconds);
        if (!output.isEmpty())
            timing.detail = output;
    }
    std::sort(times.begin(), times.end());
    timing.median = times[times.size() / 2];
    return timing;
}

QString Seconds(const Timing& t)
{
    return t.median < 0 ? QStringLiteral("failed") : QString::number(t.median, 'f', 3);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s <bench-pop3-check> <bench-pop3-proxy>\n", argv[0]);
        return 2;
    }
    const QString check = QString::fromLocal8Bit(argv[1]);
    const QString proxyProgram = QString::fromLocal8Bit(argv[2]);

    Dovecot server(Dovecot::Tls::Off);
    if (!server.isRunning()) {
        std::fprintf(stderr, "bench-pop3: %s\n", qPrintable(server.error()));
        return 1;
    }
    QTemporaryDir scratch;
    const QString user = QString::fromLatin1(server.user());
    const QString password = QString::fromLatin1(server.password());

    struct Case
    {
        const char* name;
        int count;
        int size;
        int delayMs;
    };
    const Case cases[] = {
        {"loopback_1000x4KB", 1000, 4096, 0},
        {"loopback_20x1MB", 20, 1 << 20, 0},
        {"rtt20ms_1000x4KB", 1000, 4096, 10},
        {"rtt20ms_20x1MB", 20, 1 << 20, 10},
    };

    QStringList summary;
    int filled = -1;
    const QString only = argc == 4 ? QString::fromLocal8Bit(argv[3]) : QString();
    for (const Case& c : cases) {
        if (!QString::fromLatin1(c.name).contains(only))
            continue;
        if (filled != c.count) {
            server.clearMailbox();
            server.addMessages(c.count, c.size);
            filled = c.count;
        }
        QProcess proxy;
        quint16 port = server.plainPort();
        if (c.delayMs > 0) {
            port = FreePort();
            proxy.start(proxyProgram, {QString::number(port), QString::number(server.plainPort()),
                                       QString::number(c.delayMs)});
            if (!proxy.waitForReadyRead(5000)) {
                std::fprintf(stderr, "bench-pop3: the delay proxy did not start\n");
                return 1;
            }
        }
        const QString p = QString::number(port);
        const QList<Tool> tools = {
            {QStringLiteral("ours"), check, {QStringLiteral("127.0.0.1:") + p, user, password}},
            {QStringLiteral("mpop"),
             QStringLiteral("mpop"),
             {QStringLiteral("--host=127.0.0.1"), QStringLiteral("--port=") + p, QStringLiteral("--tls=off"),
              QStringLiteral("--auth=user"), QStringLiteral("--user=") + user,
              QStringLiteral("--passwordeval=echo ") + password, QStringLiteral("--keep=on"),
              QStringLiteral("--only-new=off"), QStringLiteral("--received-header=off"),
              QStringLiteral("--delivery=mbox,/dev/null"),
              QStringLiteral("--uidls-file=") + scratch.filePath("uidls"), QStringLiteral("--quiet")}},
            {QStringLiteral("curl"),
             QStringLiteral("curl"),
             {QStringLiteral("-sS"), QStringLiteral("-u"), user + u':' + password,
              QStringLiteral("pop3://127.0.0.1:%1/[1-%2]").arg(p).arg(c.count)}},
            {QStringLiteral("poplib"),
             QStringLiteral("/usr/bin/python3"),
             {QStringLiteral("-c"),
              QStringLiteral("import poplib,sys\n"
                             "m=poplib.POP3('127.0.0.1',%1)\nm.user('%2')\nm.pass_('%3')\n"
                             "n=m.stat()[0]\nfor i in range(1,n+1): m.retr(i)\nm.quit()\n")
                  .arg(p, user, password)}},
        };
        std::printf("%s (%d messages of %d bytes, %d ms each way)\n", c.name, c.count, c.size, c.delayMs);
        std::fflush(stdout);
        std::map<QString, Timing> results;
        for (const Tool& tool : tools) {
            const bool slow =
                c.delayMs > 0 && c.count > 100 && (tool.name == u"curl" || tool.name == u"poplib");
            results[tool.name] = Measure(tool, slow ? 1 : 5, !slow);
            std::printf("  %-7s %s s%s\n", qPrintable(tool.name), qPrintable(Seconds(results[tool.name])),
                        results[tool.name].single ? " (single run)" : "");
            std::fflush(stdout);
        }
        const Timing& ours = results[QStringLiteral("ours")];
        const Timing& mpop = results[QStringLiteral("mpop")];
        double fastest = -1;
        for (const auto& [name, t] : results) {
            if (name != u"ours" && t.median > 0 && (fastest < 0 || t.median < fastest))
                fastest = t.median;
        }
        std::printf("  ours: %s\n", qPrintable(ours.detail));
        if (ours.median > 0 && fastest > 0 && mpop.median > 0) {
            const double vsFastest = ours.median / fastest;
            const double vsMpop = ours.median / mpop.median;
            if (c.delayMs == 0)
                std::printf("  ours/fastest peer = %.2f (target <= 0.5) %s\n", vsFastest,
                            vsFastest <= 0.5 ? "met" : "MISSED");
            else if (c.count > 100)
                std::printf("  ours/mpop = %.2f (target <= 0.3) %s\n", vsMpop,
                            vsMpop <= 0.3 ? "met" : "MISSED");
            else
                std::printf("  ours/mpop = %.2f (target <= 1.0) %s\n", vsMpop,
                            vsMpop <= 1.0 ? "met" : "MISSED");
        }
        summary.append(QStringLiteral("case=%1 ours=%2 mpop=%3 curl=%4 poplib=%5")
                           .arg(QString::fromLatin1(c.name), Seconds(ours), Seconds(mpop),
                                Seconds(results[QStringLiteral("curl")]),
                                Seconds(results[QStringLiteral("poplib")])));
        if (proxy.state() != QProcess::NotRunning) {
            proxy.terminate();
            proxy.waitForFinished(3000);
        }
    }
    std::printf("messages still on the server: %d\n", server.messageFiles());
    for (const QString& line : summary)
        std::printf("%s\n", qPrintable(line));
    return 0;
}
