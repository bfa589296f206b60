// Hang-up figures: one listing plus two deactivations against the NetworkManager mock, the
// /proc scan for pppd, and the cost of a NetworkManager that is gone, frozen, or silent
// after listing its connections.

#include "platform/linux/ras/NetworkManagerDialUp.h"
#include "platform/linux/ras/PppdDialUp.h"
#include "platform/linux/ras/SystemRas.h"
#include "support/DBusMock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <vector>

using namespace pelloway;

namespace {

constexpr int Rounds = 40;

std::unique_ptr<SystemRas> networkManagerOnly()
{
    std::vector<std::unique_ptr<DialUpSource>> sources;
    sources.push_back(std::make_unique<NetworkManagerDialUp>());
    return std::make_unique<SystemRas>(std::move(sources));
}

// Lists and hangs up everything; returns the milliseconds taken and the count listed.
double hangUpAll(SystemRas& ras, std::uint32_t& count, bool flush)
{
    std::vector<RasConn> table(256);
    table[0].dwSize = RasConnSize;
    std::uint32_t bufferSize = 256 * RasConnSize;
    count = 0;
    QElapsedTimer clock;
    clock.start();
    if (ras.RasEnumConnectionsA(table, bufferSize, count) == 0) {
        for (std::uint32_t i = 0; i < count; ++i)
            ras.RasHangUpA(table[i].hrasconn);
    }
    if (flush)
        ras.Flush();
    return double(clock.nsecsElapsed()) / 1e6;
}

bool report(const char* what, double value, double limit, const char* unit = "ms")
{
    const bool ok = value <= limit;
    std::printf("%-58s %9.3f %s   limit %8.1f %s   %s\n", what, value, unit, limit, unit, ok ? "ok" : "OVER");
    return ok;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    test::DBusMock mock;
    if (!mock.startBus() || !mock.startNetworkManager()) {
        std::fprintf(stderr, "bench-hangup: %s\n", qPrintable(mock.error()));
        return 1;
    }
    bool ok = true;
    const double deadline = NetworkManagerDialUp::ListingDeadlineMs;
    auto ras = networkManagerOnly();

    // Two dial-ups (and an ethernet connection that stays) listed and deactivated, answered.
    std::vector<double> times;
    for (int round = 0; round < Rounds; ++round) {
        const QString suffix = QString::number(round);
        if (mock.activate(QStringLiteral("gsm"), QStringLiteral("gsm") + suffix).isEmpty() ||
            mock.activate(QStringLiteral("pppoe"), QStringLiteral("pppoe") + suffix).isEmpty() ||
            (round == 0 &&
             mock.activate(QStringLiteral("802-3-ethernet"), QStringLiteral("wired")).isEmpty())) {
            std::fprintf(stderr, "bench-hangup: %s\n", qPrintable(mock.error()));
            return 1;
        }
        std::uint32_t count = 0;
        times.push_back(hangUpAll(*ras, count, true));
        if (count != 2) {
            std::fprintf(stderr, "bench-hangup: listed %u connections, expected 2\n", count);
            return 1;
        }
    }
    std::printf("dial-up hang-up, %d rounds against the NetworkManager mock\n", Rounds);
    ok &= report("list + deactivate 2 connections, answered (median)", median(times), 10);
    ok &= report("list + deactivate 2 connections, answered (worst)",
                 *std::max_element(times.begin(), times.end()), deadline);

    // The pppd scan of /proc (listing only: nothing is signalled).
    std::vector<double> scans;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        PppdDialUp pppd;
        pppd.List(QDeadlineTimer(1000));
        scans.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    ok &= report("pppd scan of /proc (median)", median(scans), 10);

    std::uint32_t count = 0;
    // Lists its connections, then stops answering.
    if (!mock.stopAnsweringActiveConnections(30)) {
        std::fprintf(stderr, "bench-hangup: %s\n", qPrintable(mock.error()));
        return 1;
    }
    ok &= report("NetworkManager silent after listing: whole hang-up", hangUpAll(*ras, count, true),
                 deadline + 50);
    // Frozen: owns its name but answers nothing at all.
    mock.stopNetworkManager();
    if (!mock.startNetworkManager()) {
        std::fprintf(stderr, "bench-hangup: %s\n", qPrintable(mock.error()));
        return 1;
    }
    ::kill(pid_t(mock.networkManagerPid()), SIGSTOP);
    ok &=
        report("NetworkManager frozen (SIGSTOP): whole hang-up", hangUpAll(*ras, count, true), deadline + 50);
    ::kill(pid_t(mock.networkManagerPid()), SIGCONT);
    // Gone from the bus: the bus answers at once.
    mock.stopNetworkManager();
    std::vector<double> gone;
    for (int round = 0; round < Rounds; ++round)
        gone.push_back(hangUpAll(*ras, count, true));
    ok &= report("no NetworkManager on the bus (median)", median(gone), 5);

    std::printf("%s\n", ok ? "all figures within their limits" : "SOME FIGURES OVER THEIR LIMITS");
    return ok ? 0 : 1;
}
