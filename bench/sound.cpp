// Tune device figures: the time of "open" for the shipped tune with the TimGM6mb soundfont
// (read, checked, soundfont loaded, output started), and the CPU the playing tune costs.
// Output goes to the silent real-time driver, as on a machine without a sound card.

#include "platform/mci/FluidSynthMci.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace pelloway;

namespace {

constexpr int Rounds = 15;
const QByteArray OpenTune = QByteArray("open \"") + PELLOWAY_TUNE + "\" alias bgm";

bool report(const char* what, double value, double limit, const char* unit)
{
    const bool ok = limit <= 0 || value <= limit;
    if (limit > 0)
        std::printf("%-52s %9.2f %-6s limit %7.1f %-6s %s\n", what, value, unit, limit, unit,
                    ok ? "ok" : "OVER");
    else
        std::printf("%-52s %9.2f %-6s\n", what, value, unit);
    return ok;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

FluidSynthOptions options(const QStringList& drivers)
{
    FluidSynthOptions o;
    o.soundFonts = {QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2")};
    o.drivers = drivers;
    return o;
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Median milliseconds of "open", wall clock and the calling thread's CPU (which a busy
// machine does not inflate). The device is closed again outside the clock.
double openTime(const FluidSynthOptions& o, bool& failed, double* cpuMs = nullptr)
{
    std::vector<double> times;
    std::vector<double> cpu;
    for (int i = 0; i < Rounds; ++i) {
        auto mci = MakeFluidSynthMci(o);
        QElapsedTimer clock;
        clock.start();
        const double cpu0 = threadCpuMs();
        failed |= mci->mciSendStringA(OpenTune, {}) != 0;
        cpu.push_back(threadCpuMs() - cpu0);
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
        mci->mciSendStringA("close bgm", {});
    }
    if (cpuMs)
        *cpuMs = median(cpu);
    return median(times);
}

// Percent of one core used over `seconds` with the tune open, playing or not.
double cpuPercent(bool play, double seconds, bool& failed)
{
    auto mci = MakeFluidSynthMci(options({}));
    failed |= mci->mciSendStringA(OpenTune, {}) != 0;
    if (play)
        failed |= mci->mciSendStringA("play bgm", {}) != 0;
    QThread::msleep(300); // past the first blocks
    const double cpu0 = processCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    QThread::msleep(unsigned(seconds * 1000));
    const double cpu = processCpuSeconds() - cpu0;
    const double wall = double(clock.nsecsElapsed()) / 1e9;
    char mode[16] = {};
    mci->mciSendStringA("status bgm mode", std::span<char>(mode, sizeof mode - 1));
    if (play && QByteArrayView(mode) != "playing")
        failed = true; // the tune ended before the measurement did
    mci->mciSendStringA("close bgm", {});
    return 100.0 * cpu / wall;
}

QByteArray loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return "?";
    return file.readLine().split(' ').mid(0, 3).join(' ');
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bool ok = true;
    bool failed = false;
    std::printf("bench-sound: %s (load average at start: %s)\n", PELLOWAY_TUNE, loadAverage().constData());
    FluidSynthOptions defaultFonts;
    defaultFonts.drivers = {};
    double openCpu = 0;
    ok &=
        report("open, TimGM6mb, silent output (median)", openTime(options({}), failed, &openCpu), 100, "ms");
    report("  the same, CPU of the calling thread", openCpu, 0, "ms");
    report("  peer: open, trying pulseaudio and alsa first",
           openTime(options({"pulseaudio", "alsa"}), failed), 0, "ms");
    report("  peer: open, default soundfont list", openTime(defaultFonts, failed), 0, "ms");
    ok &= report("CPU while playing (10 s)", cpuPercent(true, 10, failed), 2, "% core");
    report("  peer: CPU open but not playing (5 s)", cpuPercent(false, 5, failed), 0, "% core");
    if (failed)
        std::printf("bench-sound: a command failed\n");
    return ok && !failed ? 0 : 1;
}
