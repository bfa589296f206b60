// Tune device figures: what "open" and "play bgm" of the shipped tune hold the calling (the
// window's) thread, on the first tune of the process, on a new device and on a later tune of
// the same device, with TimGM6mb and the system's default soundfont; how long until the
// output runs; and the CPU the playing tune costs. Output goes to a WAV file or the silent
// real-time driver, as on a machine without a sound card.

#include "app/MainForm.h"
#include "character/CharacterWindow.h"
#include "platform/QuietPlatform.h"
#include "platform/Ras.h"
#include "platform/linux/mci/FluidSynthMci.h"
#include "settings/SettingsFiles.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
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

// What "イベント確認" costs the window's thread for the tune, "open" and "play bgm", in
// milliseconds of wall clock and of the calling thread's CPU (which a busy machine does not
// inflate); and how long until the output runs (the WAV file it renders to appears), which
// includes loading the soundfont on the device's own thread.
struct OpenFigures
{
    double stallMs = 0;
    double cpuMs = 0;
    double readyMs = 0;
};

OpenFigures openOnce(Mci& mci, const QString& wav, bool& failed)
{
    QFile::remove(wav);
    OpenFigures figures;
    QElapsedTimer clock;
    clock.start();
    const double cpu0 = threadCpuMs();
    failed |= mci.mciSendStringA(OpenTune, {}) != 0;
    failed |= mci.mciSendStringA("play bgm", {}) != 0;
    figures.cpuMs = threadCpuMs() - cpu0;
    figures.stallMs = double(clock.nsecsElapsed()) / 1e6;
    while (!QFile::exists(wav) && clock.elapsed() < 10000)
        QThread::msleep(1);
    figures.readyMs = double(clock.nsecsElapsed()) / 1e6;
    failed |= mci.mciSendStringA("close bgm", {}) != 0;
    return figures;
}

// Medians over fresh devices (each loading its soundfont) or over one device's later tunes
// (the soundfont kept).
OpenFigures openTimes(FluidSynthOptions o, bool reuse, bool& failed)
{
    QTemporaryDir dir;
    o.renderWav = dir.filePath(QStringLiteral("out.wav"));
    std::vector<double> stall, cpu, ready;
    std::unique_ptr<Mci> kept = MakeFluidSynthMci(o);
    if (reuse)
        openOnce(*kept, o.renderWav, failed); // the soundfont loads here
    for (int i = 0; i < Rounds; ++i) {
        std::unique_ptr<Mci> fresh = reuse ? nullptr : MakeFluidSynthMci(o);
        const OpenFigures f = openOnce(reuse ? *kept : *fresh, o.renderWav, failed);
        stall.push_back(f.stallMs);
        cpu.push_back(f.cpuMs);
        ready.push_back(f.readyMs);
    }
    return {median(stall), median(cpu), median(ready)};
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

// "イベント確認" on the main window over the real device, the shipped tune beside the
// program: the handler's whole time on the window's thread (tune, bird, picture), median over
// fresh devices, each round ended by "イベント終了".
double eventShowMs(bool& failed)
{
    QTemporaryDir app;
    QDir(app.path()).mkpath(QStringLiteral("Sound"));
    QDir(app.path()).mkpath(QStringLiteral("★MailData"));
    QFile::copy(QString::fromUtf8(PELLOWAY_TUNE), app.filePath(QStringLiteral("Sound/Kouka.mid")));
    QFile::copy(QString::fromUtf8(PELLOWAY_PICTURES "/wife.gif"),
                app.filePath(QStringLiteral("★MailData/wife.gif")));
    QFile::copy(QString::fromUtf8(PELLOWAY_PICTURES "/infant.gif"),
                app.filePath(QStringLiteral("★MailData/infant.gif")));
    UnavailablePop3Library pop3;
    NoRas ras;
    HiddenCharacterWindow character;
    SettingsFiles files(app.path(), app.filePath(QStringLiteral("vbmail.ini")));
    std::vector<double> times;
    for (int i = 0; i < Rounds; ++i) {
        FluidSynthOptions o = options({});
        const std::unique_ptr<Mci> mci = MakeFluidSynthMci(o);
        MainForm form(files, MainFormServices{pop3, *mci, ras, character});
        form.endProgramHook = [] {};
        form.Form_Load();
        QElapsedTimer clock;
        clock.start();
        form.mhenkou_Click();
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
        char mode[16] = {};
        failed |= mci->mciSendStringA("status bgm mode", std::span<char>(mode, sizeof mode - 1)) != 0;
        QThread::msleep(300);
        form.mebentend_Click();
    }
    return median(times);
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
    QApplication app(argc, argv);
    bool ok = true;
    bool failed = false;
    std::printf("bench-sound: %s (load average at start: %s)\n", PELLOWAY_TUNE, loadAverage().constData());
    // The first tune of the process also loads the synthesizer library.
    {
        QTemporaryDir dir;
        FluidSynthOptions o = options({});
        o.renderWav = dir.filePath(QStringLiteral("out.wav"));
        const OpenFigures first = openOnce(*MakeFluidSynthMci(o), o.renderWav, failed);
        ok &= report("first tune: window's thread, open and play", first.stallMs, 16, "ms");
        report("  the same, CPU of the calling thread", first.cpuMs, 0, "ms");
        report("  until its output runs (library and soundfont loaded)", first.readyMs, 0, "ms");
    }
    for (const auto& [name, fonts] :
         {std::pair{"TimGM6mb", QStringList{QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2")}},
          std::pair{"default-GM", QStringList{QStringLiteral("/usr/share/sounds/sf2/default-GM.sf2")}}}) {
        if (!QFile::exists(fonts.first()))
            continue;
        FluidSynthOptions o = options({});
        o.soundFonts = fonts;
        const OpenFigures fresh = openTimes(o, false, failed);
        const OpenFigures reused = openTimes(o, true, failed);
        std::printf("%s soundfont (%lld MB):\n", name, QFileInfo(fonts.first()).size() / 1000000);
        ok &= report("  new device: window's thread, open and play (median)", fresh.stallMs, 16, "ms");
        report("    the same, CPU of the calling thread", fresh.cpuMs, 0, "ms");
        report("    until the output runs (soundfont loaded)", fresh.readyMs, 0, "ms");
        ok &= report("  later tune: window's thread, open and play (median)", reused.stallMs, 16, "ms");
        report("    until the output runs (soundfont kept)", reused.readyMs, 0, "ms");
    }
    ok &= report("イベント確認 on the main window (median)", eventShowMs(failed), 16, "ms");
    ok &= report("CPU while playing (10 s)", cpuPercent(true, 10, failed), 2, "% core");
    report("  peer: CPU open but not playing (5 s)", cpuPercent(false, 5, failed), 0, "% core");
    if (failed)
        std::printf("bench-sound: a command failed\n");
    return ok && !failed ? 0 : 1;
}
