// The tune on the main window: which commands each trigger sends and in what order, what the
// poll does with the reply buffer it keeps between polls, and the whole loop over the real
// device.

#include "ShortTune.h"
#include "app/MainForm.h"
#include "platform/Ras.h"
#include "platform/linux/mci/FluidSynthMci.h"
#include "platform/linux/mci/MciCommand.h"
#include "settings/SettingsFiles.h"
#include "sound/Tune.h"
#include "support/StandIns.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <deque>

using namespace pelloway;

namespace {

// Logs every command; a status request writes the next queued answer and a NUL over the
// start of the reply buffer, or fails without writing when the answer is empty.
class TuneLog final : public Mci
{
public:
    QList<QByteArray> commands;
    QList<unsigned> results;
    std::deque<QByteArray> statusAnswers;
    const char* replyData = nullptr;
    size_t replySize = 0;
    Mci* forward = nullptr; // when set, commands go on to this device

    unsigned mciSendStringA(QByteArrayView command, std::span<char> reply) override
    {
        commands.append(command.toByteArray());
        if (forward) {
            results.append(forward->mciSendStringA(command, reply));
            return results.back();
        }
        if (command != "status bgm mode")
            return 0;
        replyData = reply.data();
        replySize = reply.size();
        QByteArray answer;
        if (!statusAnswers.empty()) {
            answer = statusAnswers.front();
            statusAnswers.pop_front();
        }
        if (answer.isEmpty())
            return 263;
        std::memcpy(reply.data(), answer.constData(), size_t(answer.size()) + 1);
        return 0;
    }

    qsizetype count(QByteArrayView command) const { return commands.count(command.toByteArray()); }
};

struct Fixture
{
    test::AppFolder app;
    UnavailablePop3Library pop3;
    NoRas ras;
    HiddenCharacterWindow character;
    TuneLog tune;
    SettingsFiles files{app.path(), app.file(QStringLiteral("vbmail.ini"))};
    QTemporaryDir out;
    std::unique_ptr<Mci> device;
    std::unique_ptr<MainForm> form;

    MainForm& make()
    {
        form = std::make_unique<MainForm>(files, MainFormServices{pop3, tune, ras, character});
        form->endProgramHook = [] {};
        return *form;
    }
    // The main window loaded over the real device, with a 300 ms tune as the shipped one,
    // played into a WAV file.
    MainForm& loadWithRealDevice(FluidSynthOptions options = {})
    {
        test::WriteBytes(app.file(QStringLiteral("Sound/Kouka.mid")), test::PulseTune(3));
        options.renderWav = out.filePath(QStringLiteral("tune.wav"));
        device = MakeFluidSynthMci(options);
        tune.forward = device.get();
        MainForm& loaded = make();
        loaded.Form_Load();
        return loaded;
    }
    QByteArray openCommand() const
    {
        return "open \"" + QFile::encodeName(app.path()) + "/Sound/Kouka.mid\" alias bgm";
    }
};

enum Trigger
{
    StartUp,
    Play,
    EventShow,
    Stop,
    CompactSize,
    EventEnd,
    PollEndedLoop,
    PollEndedNoLoop,
    Unload,
};

} // namespace

bool synthesizerLoaded()
{
    return test::ReadBytes(QStringLiteral("/proc/self/maps")).contains("libfluidsynth");
}

class TestTuneTriggers : public QObject
{
    Q_OBJECT
private slots:
    // First, while nothing in this process has opened a tune: the program starts, closes the
    // tune at start-up and rests without the synthesizer library; the first tune loads it.
    void synthesizerLoadsWithTheFirstTune()
    {
        Fixture f;
        MainForm& form = f.loadWithRealDevice();
        form.Timer2_Timer();
        QVERIFY(!synthesizerLoaded());
        form.mhenkou_Click();
        QCOMPARE(f.tune.results.mid(f.tune.results.size() - 2), (QList<unsigned>{0, 0}));
        QTRY_VERIFY(synthesizerLoaded()); // on the device's own thread
        QTRY_VERIFY_WITH_TIMEOUT(f.tune.count("play bgm from 0") >= 1, 5000);
        form.mebentend_Click();
    }

    void openCommand_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("folder") << "/opt/pelloway"
                                << QByteArray("open \"/opt/pelloway/Sound/Kouka.mid\" alias bgm");
        QTest::newRow("root doubles the separator")
            << "/" << QByteArray("open \"//Sound/Kouka.mid\" alias bgm");
        QTest::newRow("joined without a check")
            << "/opt/p/" << QByteArray("open \"/opt/p//Sound/Kouka.mid\" alias bgm");
        QTest::newRow("blanks kept") << "/home/a b"
                                     << QByteArray("open \"/home/a b/Sound/Kouka.mid\" alias bgm");
        QTest::newRow("as the file system spells it")
            << "/x/★メール"
            << QByteArray(
                   "open \"/x/\xE2\x98\x85\xE3\x83\xA1\xE3\x83\xBC\xE3\x83\xAB/Sound/Kouka.mid\" alias bgm");
        QTest::newRow("outside the ANSI code page")
            << "/x/josé/🐦"
            << QByteArray("open \"/x/jos\xC3\xA9/\xF0\x9F\x90\xA6/Sound/Kouka.mid\" alias bgm");
    }
    void openCommand()
    {
        QFETCH(QString, folder);
        QFETCH(QByteArray, command);
        QCOMPARE(OpenTuneCommand(folder), command);
    }

    void triggerTable_data()
    {
        QTest::addColumn<int>("trigger");
        QTest::addColumn<bool>("pollBefore");
        QTest::addColumn<QList<QByteArray>>("commands"); // "<open>": the open command of the app folder
        QTest::addColumn<bool>("pollAfter");
        const QList<QByteArray> close{"stop bgm", "close bgm"};
        QTest::newRow("start-up") << int(StartUp) << false << close << true;
        QTest::newRow("再生, poll stopped")
            << int(Play) << false << QList<QByteArray>{"<open>", "play bgm"} << true;
        QTest::newRow("再生, poll running")
            << int(Play) << true << QList<QByteArray>{"<open>", "play bgm"} << true;
        QTest::newRow("イベント確認, poll stopped")
            << int(EventShow) << false << QList<QByteArray>{"<open>", "play bgm"} << true;
        QTest::newRow("停止, poll running") << int(Stop) << true << close << false;
        QTest::newRow("停止, poll stopped") << int(Stop) << false << close << false;
        QTest::newRow("元のサイズ, poll running") << int(CompactSize) << true << close << true;
        QTest::newRow("元のサイズ, poll stopped") << int(CompactSize) << false << close << false;
        QTest::newRow("イベント終了, poll running") << int(EventEnd) << true << close << true;
        QTest::newRow("イベント終了, poll stopped") << int(EventEnd) << false << close << false;
        QTest::newRow("poll: ended, loop")
            << int(PollEndedLoop) << true << QList<QByteArray>{"status bgm mode", "play bgm from 0"} << true;
        QTest::newRow("poll: ended, no loop")
            << int(PollEndedNoLoop) << true << QList<QByteArray>{"status bgm mode", "stop bgm", "close bgm"}
            << false;
        QTest::newRow("unload") << int(Unload) << true << close << false;
    }
    void triggerTable()
    {
        QFETCH(int, trigger);
        QFETCH(bool, pollBefore);
        QFETCH(QList<QByteArray>, commands);
        QFETCH(bool, pollAfter);
        Fixture f;
        MainForm& form = f.make();
        if (trigger == StartUp) {
            form.Form_Load();
        } else {
            form.Form_Load();
            f.tune.commands.clear();
            if (pollBefore)
                form.Timer2->start();
            else
                form.Timer2->stop();
            switch (trigger) {
            case Play:
                form.Command4_Click();
                break;
            case EventShow:
                form.mhenkou_Click();
                break;
            case Stop:
                form.Command6_Click();
                break;
            case EventEnd:
                form.mebentend_Click();
                break;
            case CompactSize:
                form.Command2_Click();
                QCOMPARE(form.shownPicture(), QStringLiteral("Yatai.gif"));
                break;
            case PollEndedLoop:
            case PollEndedNoLoop:
                form.Check1->setChecked(trigger == PollEndedLoop);
                f.tune.statusAnswers = {"stopped"};
                form.Timer2_Timer();
                break;
            case Unload:
                form.Form_Unload();
                break;
            }
        }
        for (QByteArray& command : commands)
            if (command == "<open>")
                command = f.openCommand();
        QCOMPARE(f.tune.commands, commands);
        QCOMPARE(form.Timer2->isActive(), pollAfter);
        QCOMPARE(form.Timer2->interval(), 100);
        // Ticked at start-up, and no step changes it (only this test clears it for one row).
        QCOMPARE(form.Check1->isChecked(), trigger != PollEndedNoLoop);
    }

    void pollReadsTheKeptReply_data()
    {
        QTest::addColumn<QList<QByteArray>>("earlier"); // answers of earlier polls; empty: failed
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("loop");
        QTest::addColumn<QList<QByteArray>>("commands"); // after "status bgm mode"
        QTest::addColumn<bool>("pollAfter");
        const QList<QByteArray> none;
        const QList<QByteArray> restart{"play bgm from 0"};
        const QList<QByteArray> close{"stop bgm", "close bgm"};
        const int ticked = Qt::Checked, cleared = Qt::Unchecked, partly = Qt::PartiallyChecked;
        QTest::newRow("before any tune") << none << QByteArray() << ticked << none << true;
        QTest::newRow("before any tune, no loop") << none << QByteArray() << cleared << none << true;
        QTest::newRow("playing") << none << QByteArray("playing") << ticked << none << true;
        QTest::newRow("ended, loop") << none << QByteArray("stopped") << ticked << restart << true;
        QTest::newRow("ended, loop partly ticked")
            << none << QByteArray("stopped") << partly << restart << true;
        QTest::newRow("ended, no loop") << none << QByteArray("stopped") << cleared << close << false;
        QTest::newRow("stale stopped after close, loop")
            << QList<QByteArray>{"stopped"} << QByteArray() << ticked << restart << true;
        QTest::newRow("stale stopped after close, no loop")
            << QList<QByteArray>{"stopped"} << QByteArray() << cleared << close << false;
        QTest::newRow("stale playing")
            << QList<QByteArray>{"stopped", "playing"} << QByteArray() << ticked << none << true;
        QTest::newRow("shorter mode over stale stopped")
            << QList<QByteArray>{"stopped"} << QByteArray("paused") << ticked << none << true;
        QTest::newRow("short mode over stale stopped")
            << QList<QByteArray>{"stopped"} << QByteArray("stop") << ticked << none << true;
        QTest::newRow("stopped over longer stale text")
            << QList<QByteArray>{"not ready"} << QByteArray("stopped") << ticked << restart << true;
        QTest::newRow("only the first 7 characters count")
            << none << QByteArray("stoppedx") << ticked << restart << true;
    }
    void pollReadsTheKeptReply()
    {
        QFETCH(QList<QByteArray>, earlier);
        QFETCH(QByteArray, answer);
        QFETCH(int, loop);
        QFETCH(QList<QByteArray>, commands);
        QFETCH(bool, pollAfter);
        Fixture f;
        MainForm& form = f.make();
        form.Form_Load();
        for (const QByteArray& reply : earlier) {
            f.tune.statusAnswers = {reply};
            form.Timer2_Timer();
        }
        f.tune.commands.clear();
        form.Timer2->start();
        form.Check1->setCheckState(Qt::CheckState(loop));
        f.tune.statusAnswers = {answer};
        form.Timer2_Timer();
        commands.prepend("status bgm mode");
        QCOMPARE(f.tune.commands, commands);
        QCOMPARE(form.Timer2->isActive(), pollAfter);
        // The one program-wide buffer, offered with the capacity 255 of its 256 characters.
        QCOMPARE(f.tune.replyData, form.statusReply().text.data());
        QCOMPARE(f.tune.replySize, size_t(255));
    }

    void loopsAndEndsThroughTheRealDevice()
    {
        Fixture f;
        MainForm& form = f.loadWithRealDevice();
        f.tune.commands.clear();
        f.tune.results.clear();

        form.Command4_Click();
        QCOMPARE(f.tune.results, (QList<unsigned>{0, 0}));
        QTRY_VERIFY_WITH_TIMEOUT(f.tune.count("play bgm from 0") >= 2, 5000);
        QVERIFY(form.Timer2->isActive());
        QCOMPARE(f.tune.count("close bgm"), 0);

        // "再生" while open: the open fails (the alias is taken) and play carries on.
        form.Command4_Click();
        QCOMPARE(f.tune.results.mid(f.tune.results.size() - 2), (QList<unsigned>{289, 0}));

        form.Check1->setChecked(false);
        QTRY_VERIFY_WITH_TIMEOUT(!form.Timer2->isActive(), 3000);
        QCOMPARE(f.tune.commands.mid(f.tune.commands.size() - 2),
                 (QList<QByteArray>{"stop bgm", "close bgm"}));
        std::array<char, 256> reply{};
        QCOMPARE(f.device->mciSendStringA("status bgm mode", std::span<char>(reply.data(), 255)), 257u);

        // "再生" opens it again from the start and restarts the poll.
        form.Command4_Click();
        QCOMPARE(f.tune.results.mid(f.tune.results.size() - 2), (QList<unsigned>{0, 0}));
        QVERIFY(form.Timer2->isActive());
        form.Command6_Click();
        QVERIFY(!form.Timer2->isActive());
    }

    // A program folder named with characters the ANSI code page lacks plays its tune.
    void tuneFromAnyFolderName_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("accent") << QStringLiteral("josé");
        QTest::newRow("emoji") << QStringLiteral("メール 🐦");
    }
    void tuneFromAnyFolderName()
    {
        QFETCH(QString, folder);
        QTemporaryDir root;
        const QString app = root.filePath(folder);
        QVERIFY(QDir().mkpath(app + QStringLiteral("/Sound")) &&
                QDir().mkpath(app + QStringLiteral("/★MailData")));
        QVERIFY(test::WriteBytes(app + QStringLiteral("/Sound/Kouka.mid"), test::PulseTune(3)));
        UnavailablePop3Library pop3;
        NoRas ras;
        HiddenCharacterWindow character;
        TuneLog tune;
        FluidSynthOptions options;
        options.renderWav = root.filePath(QStringLiteral("tune.wav"));
        const std::unique_ptr<Mci> device = MakeFluidSynthMci(options);
        tune.forward = device.get();
        SettingsFiles files{app, root.filePath(QStringLiteral("vbmail.ini"))};
        MainForm form(files, MainFormServices{pop3, tune, ras, character});
        form.endProgramHook = [] {};
        form.Form_Load();
        form.mhenkou_Click();
        QCOMPARE(tune.commands.mid(tune.commands.size() - 2).first(),
                 "open \"" + (app + QStringLiteral("/Sound/Kouka.mid")).toUtf8() + "\" alias bgm");
        QCOMPARE(tune.results.mid(tune.results.size() - 2), (QList<unsigned>{0, 0}));
        // It plays to its end and starts again.
        QTRY_VERIFY_WITH_TIMEOUT(tune.count("play bgm from 0") >= 1, 5000);
        form.mebentend_Click();
    }

    // Without the synthesizer library the program starts as ever; the tune's open fails with
    // the device's hardware error and everything after it answers.
    void missingSynthesizerFailsOnlyTheTune()
    {
        Fixture f;
        FluidSynthOptions options;
        options.library = QStringLiteral("libpelloway-no-such-synthesizer.so.1");
        MainForm& form = f.loadWithRealDevice(options);
        QVERIFY(form.Timer1->isActive() && form.Timer4->isActive());
        form.mhenkou_Click();
        QCOMPARE(f.tune.results.mid(f.tune.results.size() - 2),
                 (QList<unsigned>{MciError::Hardware, MciError::InvalidDeviceId}));
        form.Timer2_Timer();
        form.mebentend_Click();
        form.Command6_Click();
        QVERIFY(!form.Timer2->isActive());
    }
};

QTEST_MAIN(TestTuneTriggers)
#include "test_tune_triggers.moc"
