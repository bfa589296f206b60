// The cut of a library text at its NUL, and the wait that keeps events flowing.

#include "mail/NMailText.h"
#include "mail/Wait.h"

#include <QCoreApplication>
#include <QTest>
#include <QTimer>
#include <optional>

using namespace pelloway;

class TestCheckHelpers : public QObject
{
    Q_OBJECT
private slots:
    void notEndingAtStart() { QVERIFY(!ProgramEnding()); }

    void trimAtNul_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("trimmed");
        QTest::newRow("no NUL") << QByteArray("abc") << QByteArray("abc");
        QTest::newRow("leading NUL") << QByteArray("\0abc", 4) << QByteArray();
        QTest::newRow("NUL inside") << QByteArray("ab\0c\0d", 6) << QByteArray("ab");
        QTest::newRow("NUL at end") << QByteArray("abc\0", 4) << QByteArray("abc");
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("cp932 kept whole")
            << QByteArray("\x83\x47\x83\x89\0\x81", 6) << QByteArray("\x83\x47\x83\x89");
    }
    void trimAtNul()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, trimmed);
        QCOMPARE(TrimAtNul(QByteArrayView(bytes)), trimmed);
        // The text form cuts at the same place.
        QCOMPARE(TrimAtNul(QString::fromLatin1(bytes)), QString::fromLatin1(trimmed));
    }

    // The wait returns only once the tick shows more than the requested time, also when the
    // tick wraps around during the wait.
    void waitOutlastsTheRequest_data()
    {
        QTest::addColumn<int>("ms");
        QTest::addColumn<quint32>("offset");
        QTest::newRow("0 ms") << 0 << 0u;
        QTest::newRow("1 ms") << 1 << 0u;
        QTest::newRow("negative") << -5 << 0u;
        QTest::newRow("40 ms") << 40 << 1000u;
        QTest::newRow("wraps during the wait") << 60 << quint32(0xFFFFFFFFu - 20u);
        QTest::newRow("starts at the last tick") << 30 << 0xFFFFFFFFu;
    }
    void waitOutlastsTheRequest()
    {
        QFETCH(int, ms);
        QFETCH(quint32, offset);
        const quint32 base = TickCount();
        const TickSource tick = [&] { return quint32(TickCount() - base + offset); };
        const quint32 start = tick();
        QVERIFY(WaitMilliseconds(ms, tick));
        const qint64 passed = quint32(tick() - start);
        QVERIFY2(passed > ms, qPrintable(QString::number(passed)));
    }

    // A tick that moves only when read (7 ms a read, wrapping on the third): the wait follows
    // the tick, not a clock of its own, and stops at the first reading past the request.
    void waitFollowsTheTick()
    {
        quint32 now = 0xFFFFFFF0u;
        std::optional<quint32> first;
        const TickSource tick = [&] {
            now += 7;
            if (!first)
                first = now;
            return now;
        };
        QVERIFY(WaitMilliseconds(20, tick));
        const quint32 passed = now - *first;
        QVERIFY2(passed > 20 && passed <= 27, qPrintable(QString::number(passed)));
    }

    void waitDeliversEvents()
    {
        bool queued = false;
        bool timer = false;
        QMetaObject::invokeMethod(
            this, [&] { queued = true; }, Qt::QueuedConnection);
        QTimer::singleShot(5, this, [&] { timer = true; });
        QVERIFY(WaitMilliseconds(50));
        QVERIFY(queued);
        QVERIFY(timer);
    }

    // Even a wait of no time delivers what is pending.
    void waitDeliversAtLeastOnce()
    {
        bool queued = false;
        QMetaObject::invokeMethod(
            this, [&] { queued = true; }, Qt::QueuedConnection);
        QVERIFY(WaitMilliseconds(-1));
        QVERIFY(queued);
    }

    // A wait inside a wait (a tick's handler waiting during a report) ends both in turn.
    void nestedWaits()
    {
        bool innerDone = false;
        QTimer::singleShot(0, this, [&] { innerDone = WaitMilliseconds(20); });
        QVERIFY(WaitMilliseconds(60));
        QVERIFY(innerDone);
    }

    // Must stay last: once the application is ending, every wait returns at once.
    void waitEndsWhenTheProgramEnds()
    {
        QTimer::singleShot(20, this, [] { QCoreApplication::exit(0); });
        QVERIFY(!WaitMilliseconds(600000));
        QVERIFY(ProgramEnding());
        QVERIFY(!WaitMilliseconds(600000));
    }
};

QTEST_GUILESS_MAIN(TestCheckHelpers)
#include "test_check_helpers.moc"
