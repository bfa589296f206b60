// The tune controller: the open command, which commands each step sends and in what order,
// and what the poll does with the reply buffer it keeps between polls.

#include "sound/TuneController.h"
#include "support/RecordingServices.h"

#include <QTest>
#include <QTimer>

using namespace pelloway;

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

} // namespace

class TestTuneController : public QObject
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

    void steps_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("pollBefore");
        QTest::addColumn<QList<QByteArray>>("sent");
        QTest::addColumn<bool>("pollAfter");
        const QList<QByteArray> play{"open \"/p/Sound/Kouka.mid\" alias bgm", "play bgm"};
        const QList<QByteArray> close{"stop bgm", "close bgm"};
        QTest::newRow("再生, poll stopped") << int(Play) << false << play << true;
        QTest::newRow("再生, poll running") << int(Play) << true << play << true;
        QTest::newRow("停止, poll running") << int(Stop) << true << close << false;
        QTest::newRow("停止, poll stopped") << int(Stop) << false << close << false;
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
        QTest::newRow("before any tune, no loop") << none << QByteArray() << false << none << true;
        QTest::newRow("playing") << none << QByteArray("playing") << true << none << true;
        QTest::newRow("ended, loop") << none << QByteArray("stopped") << true << restart << true;
        QTest::newRow("ended, no loop") << none << QByteArray("stopped") << false << close << false;
        QTest::newRow("stale stopped after close, loop")
            << QList<QByteArray>{"stopped"} << QByteArray() << true << restart << true;
        QTest::newRow("stale stopped after close, no loop")
            << QList<QByteArray>{"stopped"} << QByteArray() << false << close << false;
        QTest::newRow("stale playing")
            << QList<QByteArray>{"stopped", "playing"} << QByteArray() << true << none << true;
        QTest::newRow("shorter mode over stale stopped")
            << QList<QByteArray>{"stopped"} << QByteArray("paused") << true << none << true;
        QTest::newRow("short mode over stale stopped")
            << QList<QByteArray>{"stopped"} << QByteArray("stop") << true << none << true;
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
};

QTEST_GUILESS_MAIN(TestTuneController)
#include "test_tune_controller.moc"
