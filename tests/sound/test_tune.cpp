// The tune from the main window down to the device, off any sound card: the tune controller
// (the open command, which commands each step sends and in what order, what the poll does with
// the reply buffer it keeps between polls) and the command-string layer (the six command forms,
// one device per alias, the error codes and the status reply) over a fake device that logs
// what it is asked to do.

#include "ShortTune.h"
#include "platform/linux/mci/MciCommand.h"
#include "platform/linux/mci/MidiFile.h"
#include "platform/linux/mci/SequencerMci.h"
#include "sound/TuneController.h"
#include "support/RecordingServices.h"

#include <QStringList>
#include <QTest>
#include <QTimer>
#include <array>
#include <cstring>

using namespace pelloway;

Q_DECLARE_METATYPE(MciCommand::Verb)

namespace {

enum Step
{
    Play,
    Stop,
    Close,
};

struct Fixture
{
    test::CallLog log;
    test::RecordingMci mci{log};
    QTimer poll;
    TuneController tune{mci, poll};

    // Polls once with `answer` as the device's reply (empty: the request fails).
    QStringList pollWith(const QByteArray& answer, bool loop)
    {
        mci.statusAnswer = answer;
        tune.Poll(loop);
        return log.take();
    }
};

QStringList commands(const QList<QByteArray>& texts)
{
    QStringList out;
    for (const QByteArray& text : texts)
        out.append(QStringLiteral("mci:") + QString::fromUtf8(text));
    return out;
}

struct FakeWorld
{
    QStringList log;
    bool playing = false;
};

class FakeDevice final : public SequencerDevice
{
public:
    FakeDevice(FakeWorld& world, QString name) : m_world(world), m_name(std::move(name)) {}
    ~FakeDevice() override { m_world.log.append(m_name + QStringLiteral(":closed")); }
    void Play() override { m_world.log.append(m_name + QStringLiteral(":play")); }
    void PlayFromStart() override { m_world.log.append(m_name + QStringLiteral(":from0")); }
    void Stop() override { m_world.log.append(m_name + QStringLiteral(":stop")); }
    bool IsPlaying() const override { return m_world.playing; }

private:
    FakeWorld& m_world;
    QString m_name;
};

// Files named "bad..." fail to open with the invalid-file code.
SequencerMci makeMci(FakeWorld& world)
{
    return SequencerMci([&world](const QString& path, unsigned& error) -> std::unique_ptr<SequencerDevice> {
        world.log.append(QStringLiteral("open:") + path);
        if (path.startsWith(QStringLiteral("bad"))) {
            error = MciError::InvalidFile;
            return nullptr;
        }
        return std::make_unique<FakeDevice>(world, path);
    });
}

} // namespace

class TestTune : public QObject
{
    Q_OBJECT
private slots:
    void openCommand_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("folder") << "/opt/pelloway"
                                << QByteArray("open \"/opt/pelloway/Sound/Kouka.mid\" alias bgm");
        QTest::newRow("root doubles the separator")
            << "/" << QByteArray("open \"//Sound/Kouka.mid\" alias bgm");
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

    void steps_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("pollBefore");
        QTest::addColumn<QList<QByteArray>>("sent");
        QTest::addColumn<bool>("pollAfter");
        const QList<QByteArray> play{"open \"/p/Sound/Kouka.mid\" alias bgm", "play bgm"};
        const QList<QByteArray> close{"stop bgm", "close bgm"};
        QTest::newRow("再生, poll stopped") << int(Play) << false << play << true;
        QTest::newRow("停止, poll running") << int(Stop) << true << close << false;
        QTest::newRow("close, poll running") << int(Close) << true << close << true;
        QTest::newRow("close, poll stopped") << int(Close) << false << close << false;
    }
    void steps()
    {
        QFETCH(int, step);
        QFETCH(bool, pollBefore);
        QFETCH(QList<QByteArray>, sent);
        QFETCH(bool, pollAfter);
        Fixture f;
        f.poll.setInterval(100);
        if (pollBefore)
            f.poll.start();
        switch (step) {
        case Play:
            f.tune.Play(QStringLiteral("/p"));
            break;
        case Stop:
            f.tune.Stop();
            break;
        case Close:
            f.tune.CloseTune();
            break;
        }
        QCOMPARE(f.log.take(), commands(sent));
        QCOMPARE(f.poll.isActive(), pollAfter);
        QCOMPARE(f.poll.interval(), 100);
    }

    void pollReadsTheKeptReply_data()
    {
        QTest::addColumn<QList<QByteArray>>("earlier"); // answers of earlier polls; empty: failed
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("loop");
        QTest::addColumn<QList<QByteArray>>("sent"); // after "status bgm mode"
        QTest::addColumn<bool>("pollAfter");
        const QList<QByteArray> none;
        const QList<QByteArray> restart{"play bgm from 0"};
        const QList<QByteArray> close{"stop bgm", "close bgm"};
        QTest::newRow("before any tune") << none << QByteArray() << true << none << true;
        QTest::newRow("playing") << none << QByteArray("playing") << true << none << true;
        QTest::newRow("ended, loop") << none << QByteArray("stopped") << true << restart << true;
        QTest::newRow("ended, no loop") << none << QByteArray("stopped") << false << close << false;
        QTest::newRow("stale stopped after close, loop")
            << QList<QByteArray>{"stopped"} << QByteArray() << true << restart << true;
        QTest::newRow("stale playing")
            << QList<QByteArray>{"stopped", "playing"} << QByteArray() << true << none << true;
        QTest::newRow("shorter mode over stale stopped")
            << QList<QByteArray>{"stopped"} << QByteArray("paused") << true << none << true;
        QTest::newRow("stopped over longer stale text")
            << QList<QByteArray>{"not ready"} << QByteArray("stopped") << true << restart << true;
        QTest::newRow("only the first 7 characters count")
            << none << QByteArray("stoppedx") << true << restart << true;
    }
    void pollReadsTheKeptReply()
    {
        QFETCH(QList<QByteArray>, earlier);
        QFETCH(QByteArray, answer);
        QFETCH(bool, loop);
        QFETCH(QList<QByteArray>, sent);
        QFETCH(bool, pollAfter);
        Fixture f;
        for (const QByteArray& reply : earlier)
            f.pollWith(reply, true);
        f.poll.start(100);
        sent.prepend("status bgm mode");
        QCOMPARE(f.pollWith(answer, loop), commands(sent));
        QCOMPARE(f.poll.isActive(), pollAfter);
    }

    // The one buffer of 256 characters is offered with the capacity 255: a long reply ends
    // with its NUL at index 254, and the last character keeps what it held.
    void replyCutToItsCapacity()
    {
        Fixture f;
        f.pollWith(QByteArray(300, 'x'), true);
        const StatusReply& reply = f.tune.statusReply();
        QCOMPARE(QByteArray(reply.text.data()), QByteArray(254, 'x'));
        QCOMPARE(reply.text[255], '\0');
    }

    // Each form's verb and alias show in commandSequences and statusReply; here the path's
    // edges and the blanks between words.
    void parsesPathsAndBlanks_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<MciCommand::Verb>("verb");
        QTest::addColumn<QByteArray>("alias");
        QTest::addColumn<QByteArray>("path");
        using V = MciCommand::Verb;
        QTest::newRow("open path with blanks") << QByteArray("open \"/a b/c d.mid\" alias bgm") << V::Open
                                               << QByteArray("bgm") << QByteArray("/a b/c d.mid");
        QTest::newRow("open empty path")
            << QByteArray("open \"\" alias x") << V::Open << QByteArray("x") << QByteArray();
        QTest::newRow("extra blanks")
            << QByteArray("  play\t bgm  ") << V::Play << QByteArray("bgm") << QByteArray();
    }
    void parsesPathsAndBlanks()
    {
        QFETCH(QByteArray, text);
        QFETCH(MciCommand::Verb, verb);
        QFETCH(QByteArray, alias);
        QFETCH(QByteArray, path);
        const std::optional<MciCommand> command = ParseMciCommand(text);
        QVERIFY(command.has_value());
        QCOMPARE(command->verb, verb);
        QCOMPARE(command->alias, alias);
        QCOMPARE(command->path, path);
    }

    void rejectsEverythingElse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("verb alone") << QByteArray("play");
        QTest::newRow("unknown verb") << QByteArray("pause bgm");
        QTest::newRow("upper case") << QByteArray("PLAY bgm");
        QTest::newRow("trailing word") << QByteArray("stop bgm now");
        QTest::newRow("other status item") << QByteArray("status bgm position");
        QTest::newRow("play from elsewhere") << QByteArray("play bgm from 10");
        QTest::newRow("open without quotes") << QByteArray("open /a/b.mid alias bgm");
        QTest::newRow("open without alias") << QByteArray("open \"/a/b.mid\"");
        QTest::newRow("open quoted alias") << QByteArray("open \"/a/b.mid\" alias \"bgm\"");
        QTest::newRow("NUL inside") << QByteArray("play bg\0m", 9);
    }
    void rejectsEverythingElse()
    {
        QFETCH(QByteArray, text);
        QVERIFY(!ParseMciCommand(text).has_value());
        FakeWorld world;
        SequencerMci mci = makeMci(world);
        QCOMPARE(mci.mciSendStringA(text, {}), MciError::UnrecognizedCommand);
        QVERIFY(world.log.isEmpty());
    }

    // The tune's length in ticks read from the file itself, and what is not a complete file.
    void midiTotalTicks_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("ticks");
        const QByteArray pulse = test::PulseTune(4);
        QTest::newRow("pulses") << pulse << 4 * 96;
        // Running status: a note-off as a note-on of velocity 0 without its status byte.
        QTest::newRow("running status")
            << test::MidiFile(QByteArray("\x00\x90\x3C\x40\x60\x3C\x00", 7), 0x20) << 0x80;
        QTest::newRow("system exclusive")
            << test::MidiFile(QByteArray("\x10\xF0\x03\x7E\x7F\xF7", 6), 0x10) << 0x20;
        QByteArray twoTracks = test::MidiFile(QByteArray("\x00\xC0\x00", 3), 0x40);
        twoTracks[11] = 2; // a second track, longer
        twoTracks.append(test::MidiFile(QByteArray("\x7F\xC0\x00", 3), 0x7F).mid(14));
        QTest::newRow("longest track") << twoTracks << 0xFE;
        QByteArray withOther = pulse;
        withOther.insert(14, QByteArray("XTRA\0\0\0\2ab", 10));
        QTest::newRow("unknown chunk skipped") << withOther << 4 * 96;
        QByteArray twoBytesDelta = test::MidiFile(QByteArray("\x81\x00\xC0\x00", 4), 0);
        QTest::newRow("two-byte delta") << twoBytesDelta << 128;
        QTest::newRow("not MIDI") << QByteArray("Subject: hi\r\n\r\n") << 0;
        QTest::newRow("track cut short") << pulse.left(40) << 0;
        QTest::newRow("no time at all") << test::MidiFile(QByteArray("\x00\xC0\x00", 3), 0) << 0;
        QTest::newRow("data byte first") << test::MidiFile(QByteArray("\x00\x3C\x40", 3), 1) << 0;
        QTest::newRow("delta too long")
            << test::MidiFile(QByteArray("\xFF\xFF\xFF\xFF\x7F\xC0\x00", 7), 1) << 0;
        QByteArray huge = pulse;
        huge.replace(18, 4, "\x7F\xFF\xFF\xFF");
        QTest::newRow("track claims 2 GB") << huge << 0;
        QByteArray noTracks = pulse.left(14);
        noTracks[11] = 0;
        QTest::newRow("no tracks") << noTracks << 0;
    }
    void midiTotalTicks()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, ticks);
        QCOMPARE(MidiTotalTicks(bytes), ticks);
    }

    void commandSequences_data()
    {
        // Each command with its expected result, then what the devices were asked to do.
        QTest::addColumn<QList<QByteArray>>("commands");
        QTest::addColumn<QList<unsigned>>("results");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("open, play, stop, close")
            << QList<QByteArray>{"open \"t.mid\" alias bgm", "play bgm", "stop bgm", "close bgm"}
            << QList<unsigned>{0, 0, 0, 0}
            << QStringList{"open:t.mid", "t.mid:play", "t.mid:stop", "t.mid:closed"};
        QTest::newRow("play from 0 reaches the device")
            << QList<QByteArray>{"open \"t.mid\" alias bgm", "play bgm from 0"} << QList<unsigned>{0, 0}
            << QStringList{"open:t.mid", "t.mid:from0", "t.mid:closed"};
        QTest::newRow("nothing open")
            << QList<QByteArray>{"play bgm", "stop bgm", "close bgm", "play bgm from 0"}
            << QList<unsigned>{MciError::InvalidDeviceId, MciError::InvalidDeviceId,
                               MciError::InvalidDeviceId, MciError::InvalidDeviceId}
            << QStringList{};
        QTest::newRow("alias in use keeps the first device")
            << QList<QByteArray>{"open \"a.mid\" alias bgm", "open \"b.mid\" alias bgm", "play bgm"}
            << QList<unsigned>{0, MciError::DuplicateAlias, 0}
            << QStringList{"open:a.mid", "a.mid:play", "a.mid:closed"};
        QTest::newRow("one device per alias")
            << QList<QByteArray>{"open \"a.mid\" alias one", "open \"b.mid\" alias two", "stop two",
                                 "close one"}
            << QList<unsigned>{0, 0, 0, 0}
            << QStringList{"open:a.mid", "open:b.mid", "b.mid:stop", "a.mid:closed", "b.mid:closed"};
        QTest::newRow("bad file leaves the alias free")
            << QList<QByteArray>{"open \"bad.mid\" alias bgm", "play bgm", "open \"t.mid\" alias bgm"}
            << QList<unsigned>{MciError::InvalidFile, MciError::InvalidDeviceId, 0}
            << QStringList{"open:bad.mid", "open:t.mid", "t.mid:closed"};
        QTest::newRow("closed alias is gone")
            << QList<QByteArray>{"open \"t.mid\" alias bgm", "close bgm", "close bgm",
                                 "open \"t.mid\" alias bgm"}
            << QList<unsigned>{0, 0, MciError::InvalidDeviceId, 0}
            << QStringList{"open:t.mid", "t.mid:closed", "open:t.mid", "t.mid:closed"};
        QTest::newRow("path as the file system spells it")
            << QList<QByteArray>{"open \"/x/\xE2\x98\x85jos\xC3\xA9\xF0\x9F\x90\xA6/k.mid\" alias bgm"}
            << QList<unsigned>{0}
            << QStringList{QStringLiteral("open:/x/★josé🐦/k.mid"), QStringLiteral("/x/★josé🐦/k.mid:closed")};
    }
    void commandSequences()
    {
        QFETCH(QList<QByteArray>, commands);
        QFETCH(QList<unsigned>, results);
        QFETCH(QStringList, log);
        FakeWorld world;
        {
            SequencerMci mci = makeMci(world);
            for (qsizetype i = 0; i < commands.size(); ++i)
                QCOMPARE(mci.mciSendStringA(commands[i], {}), results[i]);
        } // whatever is still open closes with the layer
        QCOMPARE(world.log, log);
    }

    // The reply is written over the start of the buffer, cut to the capacity; an unknown
    // alias writes nothing.
    void statusReply_data()
    {
        QTest::addColumn<QByteArray>("alias");
        QTest::addColumn<bool>("playing");
        QTest::addColumn<int>("capacity");
        QTest::addColumn<QByteArray>("buffer"); // the whole buffer afterwards, from "xxxxxxxxxx"
        QTest::newRow("playing") << QByteArray("bgm") << true << 10 << QByteArray("playing\0xx", 10);
        QTest::newRow("cut to the capacity")
            << QByteArray("bgm") << false << 5 << QByteArray("stop\0xxxxx", 10);
        QTest::newRow("no buffer") << QByteArray("bgm") << false << 0 << QByteArray("xxxxxxxxxx");
        QTest::newRow("unknown alias") << QByteArray("other") << false << 10 << QByteArray("xxxxxxxxxx");
    }
    void statusReply()
    {
        QFETCH(QByteArray, alias);
        QFETCH(bool, playing);
        QFETCH(int, capacity);
        QFETCH(QByteArray, buffer);
        FakeWorld world;
        world.playing = playing;
        SequencerMci mci = makeMci(world);
        QCOMPARE(mci.mciSendStringA("open \"t.mid\" alias bgm", {}), 0u);
        std::array<char, 10> reply;
        std::memset(reply.data(), 'x', reply.size());
        QCOMPARE(
            mci.mciSendStringA("status " + alias + " mode", std::span<char>(reply.data(), size_t(capacity))),
            alias == "bgm" ? 0u : MciError::InvalidDeviceId);
        QCOMPARE(QByteArray(reply.data(), 10), buffer);
    }
};

QTEST_GUILESS_MAIN(TestTune)
#include "test_tune.moc"
