// Figures of one mail check:
//  - the POP3 exchange of a check of a 1000 x 4 KB mailbox (connect to close), against the
//    library's ten operations made alone for the same mailbox in the same run (limit: 1.2
//    times), with the POP3 client alone beside them;
//  - the CPU the one-second report wait spends (limit: 5 % of a core).
// Against a private Dovecot on loopback, started and stopped here.

#include "MeasuredLibrary.h"
#include "mail/CheckCycle.h"
#include "mail/NMailLibrary.h"
#include "mail/Wait.h"
#include "platform/linux/pop3/Pop3Client.h"
#include "settings/SettingsFiles.h"
#include "settings/SharedValues.h"
#include "support/Dovecot.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

using namespace pelloway;
using pelloway::bench::MeasuredLibrary;

namespace {

constexpr int Messages = 1000;
constexpr int MessageSize = 4096;
constexpr int Rounds = 11;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);

    test::Dovecot server(test::Dovecot::Tls::Off);
    if (!server.isRunning()) {
        std::fprintf(stderr, "bench-check: Dovecot did not start: %s\n", qPrintable(server.error()));
        return 1;
    }
    server.addMessages(Messages, MessageSize);

    test::AppFolder folder;
    SettingsFiles files(folder.path(), folder.file(QStringLiteral("vbmail.ini")));
    files.StoreAccount(QString::fromLatin1(server.user()), QString::fromLatin1(server.password()), true);
    SharedValues values;
    values.PopServer = server.plainServer();
    MeasuredLibrary library;
    test::CallLog log;
    test::RecordingCheckHost host(log);
    CheckCycle cycle(library, files, values, host);
    QString reported;
    cycle.wait = [&](int) { reported = cycle.msgForm().loadedForm() ? QStringLiteral("shown") : QString(); };
    QStringList failures;
    cycle.errorBox = [&](const QString& text) { failures.append(text); };
    cycle.failureLine = [&](const QString& line) { failures.append(line); };

    // The library's ten operations in the order a check makes them, without the check.
    const auto libraryAlone = [&] {
        std::vector<char> texts[4];
        for (auto& t : texts)
            t.assign(Pop3Library::TextBufferSize + 1, '\0');
        std::vector<char> body;
        const int handle = library.NMailPop3Connect(server.plainServer().toLatin1());
        if (handle == -1)
            return false;
        const int count = library.NMailPop3Authenticate(handle, server.user(), server.password(), false);
        for (int k = 1; k <= count; ++k) {
            library.NMailPop3GetMailStatus(handle, k, texts[0], texts[1], texts[2], texts[3], 0);
            body.assign(std::size_t(std::max(library.NMailPop3GetMailSize(handle, k), 0)) + 1, ' ');
            library.NMailPop3GetMail(handle, k, texts[0], texts[1], texts[2], texts[3], body, 0, 0);
        }
        library.NMailPop3Close(handle);
        return count == Messages;
    };

    std::vector<double> clientMs, libraryMs, exchangeMs, checkMs;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        {
            pop3::Pop3Client client;
            if (!client.Connect(server.plainServer()) ||
                client.Authenticate(server.user(), server.password(), false) != Messages) {
                std::fprintf(stderr, "bench-check: client failed: %s\n", qPrintable(client.Reason()));
                return 1;
            }
            for (int k = 1; k <= Messages; ++k) {
                if (!client.Fetch(k)) {
                    std::fprintf(stderr, "bench-check: fetch %d failed: %s\n", k,
                                 qPrintable(client.Reason()));
                    return 1;
                }
            }
            client.Quit();
        }
        clientMs.push_back(double(timer.nsecsElapsed()) / 1e6);

        timer.restart();
        if (!libraryAlone()) {
            std::fprintf(stderr, "bench-check: the library's calls failed\n");
            return 1;
        }
        libraryMs.push_back(double(timer.nsecsElapsed()) / 1e6);

        timer.restart();
        cycle.CheckNewMail();
        checkMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        exchangeMs.push_back(library.exchangeMs);
        if (!failures.isEmpty() || reported.isEmpty()) {
            std::fprintf(stderr, "bench-check: the check failed: %s\n", qPrintable(failures.join(u'\n')));
            return 1;
        }
    }
    // The machine may be busy: the best round shows what the work costs, the median what a
    // user sees. The limit is held against the best rounds, and each round's own ratio too.
    std::vector<double> ratios;
    for (std::size_t i = 0; i < exchangeMs.size(); ++i)
        ratios.push_back(exchangeMs[i] / libraryMs[i]);
    const auto best = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
    const double ratio = best(exchangeMs) / best(libraryMs);
    std::printf("check of %d x %d B messages, %d rounds (best / median):\n", Messages, MessageSize, Rounds);
    std::printf("  POP3 client alone                    %7.1f / %7.1f ms\n", best(clientMs),
                median(clientMs));
    std::printf("  library's ten operations alone       %7.1f / %7.1f ms\n", best(libraryMs),
                median(libraryMs));
    std::printf("  the check's exchange, connect..close %7.1f / %7.1f ms\n", best(exchangeMs),
                median(exchangeMs));
    std::printf("  whole check with its window, no wait %7.1f / %7.1f ms\n", best(checkMs), median(checkMs));
    std::printf(
        "  exchange / library alone: %.2f on the best rounds, %.2f median of rounds (limit 1.20) %s\n", ratio,
        median(ratios), ratio <= 1.2 ? "ok" : "OVER");

    // The report's wait with the message window up.
    double worst = 0;
    for (int round = 0; round < 3; ++round) {
        FormHolder<MsgForm> window([] { return new MsgForm(); });
        window.get();
        QElapsedTimer wall;
        const double cpu0 = cpuSeconds();
        wall.start();
        WaitMilliseconds(CheckCycle::ReportMilliseconds);
        const double percent = (cpuSeconds() - cpu0) / (double(wall.nsecsElapsed()) / 1e9) * 100.0;
        worst = std::max(worst, percent);
        window.unload();
    }
    std::printf("  CPU during the %d ms wait %6.2f %% of a core (worst of 3; limit 5 %%) %s\n",
                CheckCycle::ReportMilliseconds, worst, worst < 5.0 ? "ok" : "OVER");
    return 0;
}
