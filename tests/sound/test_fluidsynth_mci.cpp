// The tune device over libfluidsynth, rendered off-line: the tune advances only as the test
// takes its samples, so what would have been heard is the same on a busy machine as on an
// idle one.

#include "ShortTune.h"
#include "platform/linux/mci/FluidSynthMci.h"
#include "platform/linux/mci/MciCommand.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <array>
#include <cstdlib>

using namespace pelloway;

namespace {

constexpr int Rate = 44100;
constexpr int Loud = 1000; // about -30 dBFS: below it is silence
constexpr int PulseCount = 8;
constexpr int TuneMs = PulseCount * 100; // a pulse every 100 ms

bool synthesizerLoaded()
{
    return test::ReadBytes(QStringLiteral("/proc/self/maps")).contains("libfluidsynth");
}

struct Fixture
{
    QTemporaryDir dir;
    QString tune = dir.filePath(QStringLiteral("pulse.mid"));
    std::shared_ptr<FluidSynthRender> render = std::make_shared<FluidSynthRender>();
    std::unique_ptr<Mci> mci;
    std::vector<std::int16_t> samples;

    // Rendered off-line unless the options choose audio drivers of their own.
    explicit Fixture(FluidSynthOptions options = {})
    {
        test::WriteBytes(tune, test::PulseTune(PulseCount));
        if (options.drivers == FluidSynthOptions{}.drivers)
            options.render = render;
        mci = MakeFluidSynthMci(options);
    }

    unsigned send(const QByteArray& command) { return mci->mciSendStringA(command, {}); }
    unsigned open(const QString& path) { return send("open \"" + path.toUtf8() + "\" alias bgm"); }
    QByteArray status()
    {
        std::array<char, 256> reply{};
        if (mci->mciSendStringA("status bgm mode", std::span<char>(reply.data(), 255)) != 0)
            return "error";
        return QByteArray(reply.data());
    }

    // The open tune's output starts on the device's own thread.
    bool outputStarted()
    {
        return QTest::qWaitFor([&] { return render->Render(0, samples); });
    }
    void renderMs(int ms) { render->Render(ms * Rate / 1000, samples); }
    // Milliseconds of output so far.
    int nowMs() const { return int(samples.size() / 2 * 1000 / Rate); }
    // The loudest sample of the output between two times, in milliseconds from its start.
    int peak(int fromMs, int toMs) const
    {
        int out = 0;
        const auto at = [&](int ms) { return std::min(samples.size(), size_t(ms) * Rate / 1000 * 2); };
        for (size_t i = at(fromMs); i < at(toMs); ++i)
            out = std::max(out, std::abs(int(samples[i])));
        return out;
    }
    // Renders 10 ms at a time until the device reports the tune stopped: the milliseconds
    // rendered, or -1 after ten seconds of output.
    int renderUntilStopped()
    {
        for (int ms = 0; ms <= 10000; ms += 10) {
            if (status() == "stopped")
                return ms;
            renderMs(10);
        }
        return -1;
    }
};

} // namespace

class TestFluidSynthMci : public QObject
{
    Q_OBJECT
private slots:
    // Closing a tune that was never opened, as start-up does, leaves the synthesizer library
    // unloaded; the first tune loads it.
    void initTestCase()
    {
        Fixture f;
        QCOMPARE(f.send("stop bgm"), MciError::InvalidDeviceId);
        QCOMPARE(f.send("close bgm"), MciError::InvalidDeviceId);
        QCOMPARE(f.status(), QByteArray("error"));
        QVERIFY(!synthesizerLoaded());
        QCOMPARE(f.open(f.tune), 0u);
        QTRY_VERIFY(synthesizerLoaded());
        QCOMPARE(f.send("close bgm"), 0u);
    }

    void silentBeforePlayThenSoundUntilTheEnd()
    {
        Fixture f;
        QCOMPARE(f.open(f.tune), 0u);
        QCOMPARE(f.status(), QByteArray("stopped"));
        QVERIFY(f.outputStarted());
        f.renderMs(300);
        QCOMPARE(f.send("play bgm"), 0u);
        QCOMPARE(f.status(), QByteArray("playing"));
        const int played = f.renderUntilStopped();
        QVERIFY2(played >= TuneMs && played <= TuneMs + 20, qPrintable(QString::number(played)));
        QVERIFY2(f.peak(0, 300) < Loud, "the device sounded before play");
        QVERIFY(f.peak(300, 320) >= Loud);                         // at once
        QVERIFY(f.peak(300 + TuneMs - 100, 300 + TuneMs) >= Loud); // to the last note
    }

    // An ended tune stays ended and "play bgm from 0" plays it all again; "stop bgm" silences
    // it at once and "play bgm" carries on where it stopped.
    void restartAndResume()
    {
        Fixture f;
        QCOMPARE(f.open(f.tune), 0u);
        QCOMPARE(f.send("play bgm"), 0u);
        QVERIFY(f.outputStarted());
        QCOMPARE(f.renderUntilStopped() / 100, TuneMs / 100);
        f.renderMs(250);
        QCOMPARE(f.status(), QByteArray("stopped"));
        QCOMPARE(f.send("play bgm from 0"), 0u);
        QCOMPARE(f.status(), QByteArray("playing"));
        const int again = f.nowMs();
        QCOMPARE(f.renderUntilStopped() / 100, TuneMs / 100);
        QVERIFY(f.peak(again, again + 20) >= Loud);

        QCOMPARE(f.send("play bgm from 0"), 0u);
        f.renderMs(400);
        QCOMPARE(f.send("stop bgm"), 0u);
        QCOMPARE(f.status(), QByteArray("stopped"));
        const int stopped = f.nowMs();
        f.renderMs(300);
        QVERIFY2(f.peak(stopped + 20, stopped + 300) < Loud, "the stop did not silence the tune");
        QCOMPARE(f.status(), QByteArray("stopped"));
        QCOMPARE(f.send("play bgm"), 0u);
        QCOMPARE(f.status(), QByteArray("playing"));
        QCOMPARE(f.renderUntilStopped() / 100, (TuneMs - 400) / 100);
    }

    void badFileFailsOpen_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<unsigned>("error");
        QTest::newRow("missing") << QByteArray() << false << MciError::FileNotFound;
        QTest::newRow("text") << QByteArray("Subject: hello\r\n\r\nnot a tune\r\n") << true
                              << MciError::InvalidFile;
    }
    void badFileFailsOpen()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, exists);
        QFETCH(unsigned, error);
        Fixture f;
        const QString path = f.dir.filePath(QStringLiteral("bad.mid"));
        if (exists)
            QVERIFY(test::WriteBytes(path, bytes));
        QCOMPARE(f.open(path), error);
    }

    // A damaged tune file beside the program either fails to open or plays what it holds;
    // nothing crashes and every later command answers.
    void damagedTunesFailOrPlay()
    {
        const QByteArray good =
            test::ReadBytes(test::SourceDir() + QStringLiteral("/assets/Sound/Kouka.mid"));
        QVERIFY(good.size() > 200);
        QList<QByteArray> damaged;
        for (int cut : {4, 13, 14, 22, 30, 60, 200, int(good.size()) - 3})
            damaged.append(good.left(cut));
        for (int at : {8, 9, 12, 18, 21, 40, 100, 300, 1000}) {
            QByteArray b = good;
            b[at] = char(0xFF - quint8(b[at]));
            damaged.append(b);
        }
        QByteArray hugeLength = good;
        hugeLength.replace(18, 4, "\x7F\xFF\xFF\xFF"); // the first track claims 2 GB
        damaged.append(hugeLength);
        Fixture f;
        const QString path = f.dir.filePath(QStringLiteral("damaged.mid"));
        for (const QByteArray& bytes : damaged) {
            QVERIFY(test::WriteBytes(path, bytes));
            const unsigned result = f.open(path);
            QVERIFY2(result == 0 || result == MciError::InvalidFile, qPrintable(QString::number(result)));
            QCOMPARE(f.send("play bgm"), result == 0 ? 0u : MciError::InvalidDeviceId);
            QVERIFY(result != 0 || f.status() == "playing" || f.status() == "stopped");
            QCOMPARE(f.send("stop bgm"), result == 0 ? 0u : MciError::InvalidDeviceId);
            QCOMPARE(f.send("close bgm"), result == 0 ? 0u : MciError::InvalidDeviceId);
        }
    }

    void noSynthesizerFailsOpen_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<QString>("soundFont");
        const FluidSynthOptions defaults;
        QTest::newRow("no soundfont") << defaults.library << "/nonexistent/none.sf2";
        QTest::newRow("no library") << "libpelloway-no-such-synthesizer.so.1" << defaults.soundFonts[0];
    }
    void noSynthesizerFailsOpen()
    {
        QFETCH(QString, library);
        QFETCH(QString, soundFont);
        FluidSynthOptions options;
        options.library = library;
        options.soundFonts = {soundFont};
        Fixture f(options);
        QCOMPARE(f.open(f.tune), MciError::Hardware);
        QCOMPARE(f.status(), QByteArray("error"));
        QCOMPARE(f.send("play bgm"), MciError::InvalidDeviceId);
    }

    // No driver starts: the tune plays silently, in real time, into /dev/null and still ends.
    void endArrivesWithoutAnyAudioDriver()
    {
        FluidSynthOptions options;
        options.drivers = {QStringLiteral("no-such-driver")};
        Fixture f(options);
        QCOMPARE(f.open(f.tune), 0u);
        QCOMPARE(f.send("play bgm"), 0u);
        QCOMPARE(f.status(), QByteArray("playing"));
        QTRY_COMPARE_WITH_TIMEOUT(f.status(), QByteArray("stopped"), 30000);
    }

    // The shipped tune sounds at once, without a silent lead-in, asked to play before its
    // output has started.
    void shippedTunePlays()
    {
        Fixture f;
        QCOMPARE(f.open(test::SourceDir() + QStringLiteral("/assets/Sound/Kouka.mid")), 0u);
        QCOMPARE(f.send("play bgm"), 0u);
        QVERIFY(f.outputStarted());
        f.renderMs(1500);
        QCOMPARE(f.status(), QByteArray("playing"));
        QVERIFY(f.peak(0, 100) >= Loud);
    }
};

QTEST_GUILESS_MAIN(TestFluidSynthMci)
#include "test_fluidsynth_mci.moc"
