// The tune device over libfluidsynth, headless: every opened tune renders in real time into a
// WAV file, whose levels show what would have been heard.

#include "ShortTune.h"
#include "WavLevels.h"
#include "platform/linux/mci/FluidSynthMci.h"
#include "platform/linux/mci/MciCommand.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <cstring>

using namespace pelloway;

namespace {

constexpr int PulseCount = 8;
const int TuneWindows = test::PulseTuneMs(PulseCount) / 10;

struct Fixture
{
    QTemporaryDir dir;
    QString tune = dir.filePath(QStringLiteral("pulse.mid"));
    QString wav = dir.filePath(QStringLiteral("out.wav"));
    std::unique_ptr<Mci> mci;

    explicit Fixture(FluidSynthOptions options = {})
    {
        test::WriteBytes(tune, test::PulseTune(PulseCount));
        if (options.renderWav.isEmpty() && options.drivers == FluidSynthOptions{}.drivers)
            options.renderWav = wav;
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

    // Polls the status every 5 ms, as a quick poll would.
    bool waitForStopped(int timeoutMs = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        while (status() != "stopped") {
            if (clock.elapsed() > timeoutMs)
                return false;
            QTest::qWait(5);
        }
        return true;
    }

    // The device's output as heard. A closed tune's output ends on the device's own thread:
    // letting the device go waits for that.
    std::vector<int> peaks()
    {
        mci.reset();
        return test::WindowPeaks(test::ReadBytes(wav));
    }
};

} // namespace

class TestFluidSynthMci : public QObject
{
    Q_OBJECT
private slots:
    void silentBeforePlayThenSoundUntilTheEnd()
    {
        Fixture f;
        QCOMPARE(f.open(f.tune), 0u);
        QCOMPARE(f.status(), QByteArray("stopped"));
        // The output starts on the device's thread once the soundfont is loaded; from then on
        // it is silent until play.
        QTRY_VERIFY(QFile::exists(f.wav));
        QTest::qWait(300);
        QCOMPARE(f.send("play bgm"), 0u);
        QCOMPARE(f.status(), QByteArray("playing"));
        QVERIFY(f.waitForStopped());
        QCOMPARE(f.send("close bgm"), 0u);

        const std::vector<int> peaks = f.peaks();
        const auto stretches = test::SoundStretches(peaks);
        QCOMPARE(stretches.size(), size_t(1));
        QVERIFY2(stretches[0].first >= 20, "the device sounded before play");
        // The device is closed as soon as "stopped" is seen, so the output ends that long
        // after the tune began: not before the tune's end, and at most 150 ms after it.
        const int heard = int(peaks.size()) - stretches[0].first;
        QVERIFY2(heard >= TuneWindows - 3, qPrintable(QString::number(heard)));
        QVERIFY2(heard <= TuneWindows + 15, qPrintable(QString::number(heard)));
    }

    void playFromZeroRestarts()
    {
        Fixture f;
        QCOMPARE(f.open(f.tune), 0u);
        QCOMPARE(f.send("play bgm"), 0u);
        QVERIFY(f.waitForStopped());
        QTest::qWait(250);
        QCOMPARE(f.status(), QByteArray("stopped")); // an ended tune stays ended
        QCOMPARE(f.send("play bgm from 0"), 0u);
        QCOMPARE(f.status(), QByteArray("playing"));
        QVERIFY(f.waitForStopped());
        QCOMPARE(f.send("close bgm"), 0u);

        const std::vector<int> peaks = f.peaks();
        const auto stretches = test::SoundStretches(peaks);
        QCOMPARE(stretches.size(), size_t(2));
        QVERIFY(stretches[1].first - stretches[0].last >= 10);
        // The second round is the whole tune again, closed as soon as it ended.
        const int heard = int(peaks.size()) - stretches[1].first;
        QVERIFY2(heard >= TuneWindows - 3 && heard <= TuneWindows + 15, qPrintable(QString::number(heard)));
    }

    void stopThenPlayResumes()
    {
        Fixture f;
        QCOMPARE(f.open(f.tune), 0u);
        QCOMPARE(f.send("play bgm"), 0u);
        QTest::qWait(400);
        QCOMPARE(f.send("stop bgm"), 0u);
        QCOMPARE(f.status(), QByteArray("stopped"));
        QTest::qWait(300);
        QCOMPARE(f.status(), QByteArray("stopped"));
        QCOMPARE(f.send("play bgm"), 0u);
        QCOMPARE(f.status(), QByteArray("playing"));
        QVERIFY(f.waitForStopped());
        QCOMPARE(f.send("close bgm"), 0u);

        const std::vector<int> peaks = f.peaks();
        const auto stretches = test::SoundStretches(peaks);
        QCOMPARE(stretches.size(), size_t(2));
        QVERIFY2(stretches[1].first - stretches[0].last >= 20, "the stop did not silence the tune");
        // Both parts together make one tune: the second carried on where the first stopped.
        const int heard = stretches[0].length() + int(peaks.size()) - stretches[1].first;
        QVERIFY2(heard >= TuneWindows - 10 && heard <= TuneWindows + 20, qPrintable(QString::number(heard)));
    }

    void secondOpenFailsWhilePlayContinues()
    {
        Fixture f;
        QCOMPARE(f.open(f.tune), 0u);
        QCOMPARE(f.send("play bgm"), 0u);
        QTest::qWait(200);
        QCOMPARE(f.open(f.tune), MciError::DuplicateAlias);
        QCOMPARE(f.status(), QByteArray("playing"));
        QVERIFY(f.waitForStopped());
        QCOMPARE(f.send("close bgm"), 0u);
        QCOMPARE(f.send("close bgm"), MciError::InvalidDeviceId);
        const auto stretches = test::SoundStretches(f.peaks());
        QCOMPARE(stretches.size(), size_t(1));
        QVERIFY(stretches[0].length() >= TuneWindows - 10);
    }

    void badFileFailsOpen_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<unsigned>("error");
        QTest::newRow("missing") << QByteArray() << false << MciError::FileNotFound;
        QTest::newRow("empty") << QByteArray() << true << MciError::InvalidFile;
        QTest::newRow("text") << QByteArray("Subject: hello\r\n\r\nnot a tune\r\n") << true
                              << MciError::InvalidFile;
        QTest::newRow("header only") << QByteArray("MThd\0\0\0\6\0\0\0\1\1\xE0", 14) << true
                                     << MciError::InvalidFile;
        QTest::newRow("track cut short") << test::PulseTune(4).left(40) << true << MciError::InvalidFile;
        QTest::newRow("no time at all")
            << test::MidiFile(QByteArray("\x00\xC0\x00", 3), 0) << true << MciError::InvalidFile;
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
        QCOMPARE(f.send("play bgm"), MciError::InvalidDeviceId);
        QCOMPARE(f.status(), QByteArray("error"));
        QCOMPARE(f.open(f.tune), 0u); // the alias is still free
        QCOMPARE(f.send("close bgm"), 0u);
    }

    void damagedTunesFailOrPlay()
    {
        // A damaged tune file beside the program either fails to open or plays what it holds;
        // nothing crashes and every later command answers.
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

    void unknownAliasLeavesTheReplyAlone()
    {
        Fixture f;
        std::array<char, 256> reply{};
        std::memcpy(reply.data(), "stopped", 8);
        QCOMPARE(f.mci->mciSendStringA("status bgm mode", std::span<char>(reply.data(), 255)),
                 MciError::InvalidDeviceId);
        QCOMPARE(QByteArray(reply.data()), QByteArray("stopped"));
        QCOMPARE(f.open(f.tune), 0u);
        QCOMPARE(f.mci->mciSendStringA("status other mode", std::span<char>(reply.data(), 255)),
                 MciError::InvalidDeviceId);
        QCOMPARE(f.send("close bgm"), 0u);
        QCOMPARE(f.mci->mciSendStringA("status bgm mode", std::span<char>(reply.data(), 255)),
                 MciError::InvalidDeviceId);
    }

    void noSoundFontFailsOpen()
    {
        FluidSynthOptions options;
        options.soundFonts = {QStringLiteral("/nonexistent/none.sf2")};
        Fixture f(options);
        QCOMPARE(f.open(f.tune), MciError::Hardware);
        QCOMPARE(f.status(), QByteArray("error"));
    }

    void missingLibraryFailsOpen()
    {
        FluidSynthOptions options;
        options.library = QStringLiteral("libpelloway-no-such-synthesizer.so.1");
        Fixture f(options);
        QCOMPARE(f.open(f.tune), MciError::Hardware);
        QCOMPARE(f.status(), QByteArray("error"));
        QCOMPARE(f.send("play bgm"), MciError::InvalidDeviceId);
    }

    void endArrivesWithoutAnyAudioDriver()
    {
        // No driver starts: the tune plays silently into /dev/null and still ends.
        FluidSynthOptions options;
        options.drivers = {QStringLiteral("no-such-driver")};
        Fixture f(options);
        QCOMPARE(f.open(f.tune), 0u);
        QCOMPARE(f.send("play bgm"), 0u);
        QCOMPARE(f.status(), QByteArray("playing"));
        QVERIFY(f.waitForStopped());
        QCOMPARE(f.send("close bgm"), 0u);
        QVERIFY(!QFile::exists(f.wav));
    }

    void shippedTunePlays()
    {
        Fixture f;
        QCOMPARE(f.open(test::SourceDir() + QStringLiteral("/assets/Sound/Kouka.mid")), 0u);
        QCOMPARE(f.send("play bgm"), 0u);
        QTest::qWait(1500);
        QCOMPARE(f.status(), QByteArray("playing"));
        QCOMPARE(f.send("close bgm"), 0u);
        const auto stretches = test::SoundStretches(f.peaks());
        QVERIFY(!stretches.empty());
        QVERIFY(stretches[0].first < 10); // it starts at once, without a silent lead-in
    }
};

QTEST_GUILESS_MAIN(TestFluidSynthMci)
#include "test_fluidsynth_mci.moc"
