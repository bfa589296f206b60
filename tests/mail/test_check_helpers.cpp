// The cut of a library text at its NUL, the wait that keeps events flowing, and the words of
// the new-mail notification.

#include "mail/NMailText.h"
#include "mail/NewMailNotice.h"
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

    // Who wrote, as the notification names them.
    void sender_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("sender");
        QTest::newRow("name and address")
            << QStringLiteral("山田太郎 <taro@example.jp>") << QStringLiteral("山田太郎");
        QTest::newRow("quoted name") << "\"Doe, Jane\" <jane@example.com>"
                                     << "Doe, Jane";
        QTest::newRow("escaped quote") << "\"A \\\"B\\\" C\" <a@example.com>"
                                       << "A \"B\" C";
        QTest::newRow("address in brackets only") << "<bob@example.com>"
                                                  << "bob@example.com";
        QTest::newRow("bare address") << "bob@example.com"
                                      << "bob@example.com";
        QTest::newRow("address and comment") << "bob@example.com (Bob Smith)"
                                             << "Bob Smith";
        QTest::newRow("folded blanks") << "  Ann \t  Lee   <ann@example.org> "
                                       << "Ann Lee";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("unclosed bracket") << "Eve <eve@example.org"
                                          << "Eve <eve@example.org";
    }
    void sender()
    {
        QFETCH(QString, from);
        QFETCH(QString, sender);
        QCOMPARE(NewMailNotices::Sender(from), sender);
    }

    void notice_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("entries"); // from|subject
        QTest::addColumn<QString>("body");
        QTest::newRow("one") << 1 << QStringList{"Ann <a@x>|Hello"} << QStringLiteral("Ann：Hello");
        QTest::newRow("no subject, no sender")
            << 1 << QStringList{"|"} << QStringLiteral("（差出人なし）：（件名なし）");
        QTest::newRow("seven, five listed") << 7 << QStringList{"a|1", "b|2", "c|3", "d|4", "e|5", "f|6"}
                                            << QStringLiteral("a：1\nb：2\nc：3\nd：4\ne：5\nほか 2 通");
        QTest::newRow("three, two headers read")
            << 3 << QStringList{"a|1", "b|2"} << QStringLiteral("a：1\nb：2\nほか 1 通");
        QTest::newRow("no header read") << 4 << QStringList{} << QString();
        QTest::newRow("long texts cut")
            << 1 << QStringList{QString(30, u'名') + u'|' + QString(60, u'件')}
            << QString(23, u'名') + QStringLiteral("…：") + QString(47, u'件') + u'…';
        QTest::newRow("a cut never splits a surrogate pair")
            << 1 << QStringList{QStringLiteral("x|") + QString(46, u'a') + QStringLiteral("😀😀")}
            << QStringLiteral("x：") + QString(46, u'a') + u'…';
        QTest::newRow("line breaks in a subject folded")
            << 1 << QStringList{"a|one\ntwo"} << QStringLiteral("a：one two");
    }
    void notice()
    {
        QFETCH(int, count);
        QFETCH(QStringList, entries);
        QFETCH(QString, body);
        std::vector<NewMailEntry> list;
        for (const QString& entry : entries)
            list.push_back({entry.section(u'|', 0, 0), entry.section(u'|', 1)});
        const NewMailNotice notice = NewMailNotices::Make(count, list);
        QCOMPARE(notice.summary, QStringLiteral("新着メール %1 通").arg(count));
        QCOMPARE(notice.body, body);
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

    // Once the application is ending, every wait returns at once.
    void waitEndsWhenTheProgramEnds()
    {
        QTimer::singleShot(20, this, [] { QCoreApplication::exit(0); });
        QVERIFY(!WaitMilliseconds(600000));
        QVERIFY(ProgramEnding());
        QVERIFY(!WaitMilliseconds(600000));
        ProgramEnd::resetInstance();
    }
};

QTEST_GUILESS_MAIN(TestCheckHelpers)
#include "test_check_helpers.moc"
