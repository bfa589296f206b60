// One check through a recording library and host: the order of every call for each outcome,
// the texts and numbers reported, the account handling and the guard against a second check.
// First its helpers: the cut of a library text at its NUL, the wait that keeps events
// flowing, and the words of the new-mail notification.

#include "mail/CheckCycle.h"
#include "mail/NMailText.h"
#include "mail/NewMailNotice.h"
#include "mail/SeenMail.h"
#include "mail/TrustQuestion.h"
#include "mail/Wait.h"
#include "settings/SettingsFiles.h"
#include "settings/SharedValues.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSslConfiguration>
#include <QTest>
#include <QTimer>
#include <climits>
#include <optional>

using namespace pelloway;
using namespace pelloway::test;
using pelloway::test::ReadBytes;
using pelloway::test::WriteBytes;
using Failure = Pop3Library::ConnectFailure;

Q_DECLARE_METATYPE(Pop3Library::ConnectFailure)

namespace {

// A check wired to the fakes, with its waits, boxes and failure lines recorded in the log.
struct Rig
{
    Rig() : files(app.path(), app.file(QStringLiteral("vbmail.ini"))), cycle(pop3, files, values, host)
    {
        pop3.connectResult = 5;
        values.PopServer = QStringLiteral("pop.test");
        files.StoreAccount(QStringLiteral("alice"), QStringLiteral("pw"), true);
        cycle.wait = [this](int ms) {
            MsgForm* form = cycle.msgForm().loadedForm();
            if (!form) {
                log.add(QStringLiteral("report(no window) %1").arg(ms));
                return;
            }
            const bool topmost = form->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            log.add(QStringLiteral("%1 %2 %3|%4")
                        .arg(form->isVisible() && topmost ? QStringLiteral("report")
                                                          : QStringLiteral("report(hidden)"))
                        .arg(ms)
                        .arg(form->Text1->text(), form->Text2->text()));
            if (duringWait)
                duringWait();
        };
        cycle.errorBox = [this](const QString& text) {
            log.add(QStringLiteral("box ") + text);
            if (duringBox)
                duringBox();
        };
        cycle.failureLine = [this](const QString& line) { failures.append(line); };
    }

    AppFolder app;
    SettingsFiles files;
    SharedValues values;
    CallLog log;
    RecordingPop3 pop3{log};
    RecordingCheckHost host{log};
    CheckCycle cycle;
    QStringList failures;
    std::function<void()> duringWait;
    std::function<void()> duringBox;
};

// The log entries written in a row, separated by "; ".
QStringList Calls(const QString& text)
{
    return text.split(QStringLiteral("; "));
}

// The calls that read messages 1 to `count`, in the same form.
QString fetches(int handle, int count, int bodySize)
{
    QStringList calls;
    for (int k = 1; k <= count; ++k) {
        calls << QStringLiteral("pop3:status(%1,%2,0)").arg(handle).arg(k)
              << QStringLiteral("pop3:size(%1,%2)").arg(handle).arg(k)
              << QStringLiteral("pop3:get(%1,%2,%3,0,0)").arg(handle).arg(k).arg(bodySize);
    }
    return calls.join(QStringLiteral("; "));
}

const QString NoMail = QStringLiteral("report 1000 新着メールはありませんでした。|");
const QString Mail = QStringLiteral("report 1000 新着メールが有ります|");

} // namespace

class TestCheckCycle : public QObject
{
    Q_OBJECT
private slots:
    void notEndingAtStart() { QVERIFY(!ProgramEnding()); }

    void trimAtNul_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("trimmed");
        QTest::newRow("no NUL") << QByteArray("abc") << QByteArray("abc");
        QTest::newRow("NUL inside") << QByteArray("ab\0c\0d", 6) << QByteArray("ab");
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
        QTest::newRow("quoted name") << QString("\"Doe, Jane\" <jane@example.com>") << "Doe, Jane";
        QTest::newRow("escaped quote") << QString("\"A \\\"B\\\" C\" <a@example.com>") << "A \"B\" C";
        QTest::newRow("address in brackets only") << QString("<bob@example.com>") << "bob@example.com";
        QTest::newRow("bare address") << QString("bob@example.com") << "bob@example.com";
        QTest::newRow("address and comment") << QString("bob@example.com (Bob Smith)") << "Bob Smith";
        QTest::newRow("folded blanks") << QString("  Ann \t  Lee   <ann@example.org> ") << "Ann Lee";
        QTest::newRow("unclosed bracket") << QString("Eve <eve@example.org") << "Eve <eve@example.org";
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

    void outcomes_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("handle");
        QTest::addColumn<Failure>("failure");
        QTest::addColumn<QString>("savedId");
        QTest::addColumn<QString>("savedPassword");
        QTest::addColumn<int>("apop");
        QTest::addColumn<int>("login");
        QTest::addColumn<int>("hangUp");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<int>("failureLines");

        const QString id = QStringLiteral("alice"), pw = QStringLiteral("pw");
        const QString unreached = QStringLiteral("report 1000 メールサーバーに接続できませんでした。|");
        const QString connectFails = QStringLiteral("pop3:connect(pop.test); pop3:message(0,8192); ");
        const QString loggedIn = QStringLiteral("pop3:connect(pop.test); host:account(alice|pw); ");
        const QString reported = "; pop3:close(5); host:picture(wife.gif); " + Mail + "3; host:character";

        QTest::newRow("no server, hang up")
            << "" << 5 << Failure::None << id << pw << 0 << 0 << 1
            << "report 1000 POP3サーバーが設定されていません。|; host:hangup" << 1;
        QTest::newRow("connect fails") << "pop.test" << -1 << Failure::Network << id << pw << 0 << 0 << 0
                                       << connectFails + unreached << 1;
        QTest::newRow("certificate refused") << "pop.test" << -1 << Failure::Certificate << id << pw << 0 << 0
                                             << 0 << connectFails + "box failure text; " + unreached << 1;
        QTest::newRow("no TLS") << "pop.test" << -1 << Failure::Unencrypted << id << pw << 0 << 0 << 0
                                << connectFails + "box failure text; " + unreached << 1;
        QTest::newRow("no saved ID")
            << "pop.test" << 5 << Failure::None << "" << pw << 0 << 0 << 0
            << "pop3:connect(pop.test); host:account(|pw); host:idpass; pop3:close(5); " + NoMail + "0" << 1;
        QTest::newRow("no saved password, hang up")
            << "pop.test" << 5 << Failure::None << id << "" << 0 << 0 << 1
            << "pop3:connect(pop.test); host:account(alice|); host:idpass; pop3:close(5); " + NoMail +
                   "0; host:hangup"
            << 1;
        QTest::newRow("handle 0 is a handle, APOP")
            << "pop.test" << 0 << Failure::None << id << pw << 1 << 0 << 0
            << "pop3:connect(pop.test); host:account(alice|pw); pop3:authenticate(0,alice,pw,apop); "
               "pop3:close(0); " +
                   NoMail + "0"
            << 0;
        QTest::newRow("login refused") << "pop.test" << 5 << Failure::None << id << pw << 0 << -7 << 0
                                       << loggedIn +
                                              "pop3:authenticate(5,alice,pw,user); pop3:message(0,8192); "
                                              "box failure text; pop3:close(5); " +
                                              NoMail + "-7"
                                       << 1;
        QTest::newRow("three messages, APOP, hang up")
            << "pop.test" << 5 << Failure::None << id << pw << -1 << 3 << 1
            << loggedIn + "pop3:authenticate(5,alice,pw,apop); " + fetches(5, 3, 11) + reported +
                   "; host:hangup"
            << 0;
        // Only 1 hangs up; other values of the choice do not.
        QTest::newRow("three messages, hang-up choice 2")
            << "pop.test" << 5 << Failure::None << id << pw << 0 << 3 << 2
            << loggedIn + "pop3:authenticate(5,alice,pw,user); " + fetches(5, 3, 11) + reported << 0;
    }
    void outcomes()
    {
        QFETCH(QString, server);
        QFETCH(int, handle);
        QFETCH(Failure, failure);
        QFETCH(QString, savedId);
        QFETCH(QString, savedPassword);
        QFETCH(int, apop);
        QFETCH(int, login);
        QFETCH(int, hangUp);
        QFETCH(QString, calls);
        QFETCH(int, failureLines);
        const QStringList expected = Calls(calls);

        Rig rig;
        rig.values.PopServer = server;
        rig.values.ApopFlag = std::int16_t(apop);
        rig.files.StoreAccount(savedId, savedPassword, true);
        rig.pop3.connectResult = handle;
        rig.pop3.failure = failure;
        rig.pop3.authenticateResult = login;
        rig.host.hangUpChoice = hangUp;

        rig.cycle.CheckNewMail();

        QCOMPARE(rig.log.entries(), expected);
        QCOMPARE(rig.failures.size(), failureLines);
        // The result as the report shows it, and the first failure as written out.
        const QString report = expected.filter(QStringLiteral("report 1000 ")).value(0).mid(12);
        QCOMPARE(rig.host.finished, 1);
        QCOMPARE(rig.host.lastResult,
                 report.endsWith(u'|') ? report.chopped(1) : QString(report).replace(u'|', u' '));
        QCOMPARE(rig.host.lastFailureLine, rig.failures.value(0));
        QVERIFY(!rig.cycle.IsRunning());
        QVERIFY(!rig.cycle.msgForm().isLoaded());
    }

    // The account is read from the file before every login, replacing what the program held.
    void accountComesFromTheFile()
    {
        Rig rig;
        rig.values.AccountId = QStringLiteral("typed but not saved");
        rig.values.AccountPassword = QStringLiteral("typed");
        rig.files.StoreAccount(QStringLiteral("山田"), QStringLiteral("ひみつ"), true);

        rig.cycle.CheckNewMail();

        QCOMPARE(rig.values.AccountId, QStringLiteral("山田"));
        QCOMPARE(rig.values.AccountPassword, QStringLiteral("ひみつ"));
        QCOMPARE(rig.host.idText, QStringLiteral("山田"));
        QCOMPARE(rig.host.passText, QStringLiteral("ひみつ"));
        // cp932 on the wire to the library.
        QCOMPARE(rig.pop3.lastId, QByteArray("\x8e\x52\x93\x63"));
        QCOMPARE(rig.pop3.lastPassword, QByteArray("\x82\xd0\x82\xdd\x82\xc2"));

        // Without the file the account dialog is asked for and what the program held goes.
        QFile::remove(rig.files.idPassPath());
        rig.cycle.CheckNewMail();
        QVERIFY(rig.log.entries().contains(QStringLiteral("host:idpass")));
        QVERIFY(rig.values.AccountId.isEmpty());
        QVERIFY(rig.values.AccountPassword.isEmpty());
    }

    void bodyBuffer_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<qulonglong>("bodySize");
        QTest::newRow("empty message") << 0 << qulonglong(1);
        QTest::newRow("negative size") << -1 << qulonglong(1);
        QTest::newRow("absurd size is capped") << INT_MAX << qulonglong(CheckCycle::BodyBufferLimit) + 1;
    }
    void bodyBuffer()
    {
        QFETCH(int, size);
        QFETCH(qulonglong, bodySize);
        Rig rig;
        rig.pop3.authenticateResult = 1;
        rig.pop3.sizes[1] = size;
        rig.cycle.CheckNewMail();
        QCOMPARE(qulonglong(rig.pop3.lastBodySize), bodySize);
        QVERIFY(rig.log.entries().contains(QStringLiteral("report 1000 新着メールが有ります|1")));
    }

    // Failing reads are not examined for the report: every message is still tried in order and
    // the count is reported; standard error hears about it once.
    void failingReadsStillReportTheCount()
    {
        Rig rig;
        rig.pop3.authenticateResult = 3;
        rig.pop3.failFromMessage = 2;
        rig.cycle.CheckNewMail();
        QCOMPARE(rig.log.entries().filter(QRegularExpression(QStringLiteral("^pop3:(status|size|get)"))),
                 Calls(fetches(5, 3, 11)
                           .replace(QStringLiteral("get(5,2,11"), QStringLiteral("get(5,2,1"))
                           .replace(QStringLiteral("get(5,3,11"), QStringLiteral("get(5,3,1"))));
        QVERIFY(rig.log.entries().contains(QStringLiteral("report 1000 新着メールが有ります|3")));
        QCOMPARE(rig.failures.size(), 1);
        QVERIFY2(rig.failures[0].contains(QStringLiteral("2 of 3")), qPrintable(rig.failures[0]));
    }

    // The library's text is read into an 8192-byte buffer and cut at its first NUL; the line
    // for standard error keeps to one line whatever the server sent.
    void failureTexts_data()
    {
        QTest::addColumn<QByteArray>("libraryText");
        QTest::addColumn<QString>("boxText");
        QTest::newRow("cp932") << QByteArray("\x83\x47\x83\x89\x81\x5b") << "エラー";
        QTest::newRow("line ends") << QByteArray("-ERR one\r\ntwo") << "-ERR one\r\ntwo";
    }
    void failureTexts()
    {
        QFETCH(QByteArray, libraryText);
        QFETCH(QString, boxText);
        Rig rig;
        rig.pop3.authenticateResult = -1;
        rig.pop3.message = libraryText;
        rig.cycle.CheckNewMail();
        QVERIFY2(rig.log.entries().contains(QStringLiteral("box ") + boxText),
                 qPrintable(rig.log.entries().join(u'\n')));
        QCOMPARE(rig.pop3.lastMessageBufferSize, std::size_t(Pop3Library::TextBufferSize + 1));
        QCOMPARE(rig.failures.size(), 1);
        const QString& line = rig.failures[0];
        QVERIFY(!line.contains(u'\n') && !line.contains(u'\r'));
        QVERIFY(line.contains(QStringLiteral("pop.test")));
        QVERIFY(line.contains(QString(boxText).replace(u'\r', u' ').replace(u'\n', u' ')));
    }

    // Ticks and menu commands delivered during the waits start no second check.
    void noSecondCheckWhileRunning()
    {
        Rig rig;
        rig.pop3.authenticateResult = -1;
        int tries = 0;
        const auto again = [&] {
            ++tries;
            QVERIFY(rig.cycle.IsRunning());
            rig.cycle.CheckNewMail();
        };
        rig.duringWait = again;
        rig.duringBox = again;
        rig.cycle.CheckNewMail();
        QCOMPARE(tries, 2);
        QCOMPARE(rig.log.with(QStringLiteral("pop3:connect")).size(), 1);
        QCOMPARE(rig.log.with(QStringLiteral("report")).size(), 1);
        QVERIFY(!rig.cycle.IsRunning());

        // Once it has ended, the next check runs in full and finds the same again.
        const QStringList first = rig.log.take();
        rig.duringWait = nullptr;
        rig.duringBox = nullptr;
        rig.cycle.CheckNewMail();
        QCOMPARE(rig.log.entries(), first);
    }

    // Each report has a window of its own, gone once its wait is over, even when the user
    // closed it during the wait.
    void freshWindowPerReport()
    {
        Rig rig;
        QPointer<MsgForm> first;
        rig.duringWait = [&] {
            first = rig.cycle.msgForm().loadedForm();
            first->Text2->setText(QStringLiteral("typed"));
        };
        rig.cycle.CheckNewMail();
        QVERIFY(first);
        QVERIFY(!first->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!first);

        rig.duringWait = [&] { rig.cycle.msgForm().loadedForm()->close(); };
        rig.cycle.CheckNewMail();
        QVERIFY(!rig.cycle.msgForm().isLoaded());
        QCOMPARE(rig.log.with(QStringLiteral("report")).size(), 2);
        QCOMPARE(rig.log.entries().last(), NoMail + "0");
    }

    // The default box: plain text, OK only, modal (its title: test_check_program's wrongPassword).
    void errorBox()
    {
        const auto box = CheckCycle::MakeErrorBox(QStringLiteral("-ERR <b>no</b>"));
        QCOMPARE(box->text(), QStringLiteral("-ERR <b>no</b>"));
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(box->windowModality() != Qt::NonModal);
    }

    // A certificate that fails the check is put to the user: refused, the check ends without
    // a box; trusted, it is saved and the connect runs once more (a second failure shows
    // the box).
    void untrustedCertificate_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<int>("retry"); // the second connect's handle (-1: a certificate failure again)
        QTest::addColumn<QString>("calls");
        const QString question = QStringLiteral("pop3:connect(pop.test); question pop.test:110; ");
        const QString again = QStringLiteral("pop3:trust(pop.test:110=%1); pop3:connect(pop.test); ");
        const QString unreached = QStringLiteral("report 1000 メールサーバーに接続できませんでした。|");
        QTest::newRow("refused") << false << 0 << question + "pop3:message(0,8192); " + unreached;
        QTest::newRow("trusted") << true << 7
                                 << question + again +
                                        "host:account(alice|pw); pop3:authenticate(7,alice,pw,user); "
                                        "pop3:close(7); " +
                                        NoMail + "0";
        QTest::newRow("trusted, fails again")
            << true << -1 << question + again + "pop3:message(0,8192); box failure text; " + unreached;
    }
    void untrustedCertificate()
    {
        QFETCH(bool, answer);
        QFETCH(int, retry);
        QFETCH(QString, calls);
        const QList<QSslCertificate> system = QSslConfiguration::systemCaCertificates();
        if (system.isEmpty())
            QSKIP("no CA certificate on this system to show");
        Rig rig;
        rig.pop3.connectResult = -1;
        rig.pop3.failure = Failure::Certificate;
        rig.pop3.problem.server = QStringLiteral("pop.test:110");
        rig.pop3.problem.certificate = system.front();
        rig.pop3.laterConnects = {{retry, retry == -1 ? Failure::Certificate : Failure::None}};
        rig.cycle.trustQuestion = [&rig, answer](const pop3::CertificateProblem& problem) {
            rig.log.add(QStringLiteral("question ") + problem.server);
            return answer;
        };
        const QByteArray digest = pop3::CertificateDigest(system.front());
        const QString trust =
            QStringLiteral("pop3:trust(pop.test:110=%1)").arg(QString::fromLatin1(digest.toHex().left(8)));
        rig.cycle.CheckNewMail();
        QCOMPARE(rig.log.take(), Calls(calls.replace(QStringLiteral("pop3:trust(pop.test:110=%1)"), trust)));
        QCOMPARE(rig.files.TrustedCertificate(QStringLiteral("pop.test:110")),
                 answer ? digest : QByteArray());
        if (!answer)
            return;
        // The next check connects with the saved certificate trusted.
        rig.cycle.CheckNewMail();
        QCOMPARE(rig.log.entries().first(), trust);
    }

    // The question about a certificate: the "エラー" title, plain text with the server, the
    // reasons and the fingerprint, trusting only on "信頼する"; Esc and the default refuse.
    void trustQuestionBox()
    {
        pop3::CertificateProblem problem;
        problem.server = QStringLiteral("mail.example.jp:995");
        const QList<QSslCertificate> system = QSslConfiguration::systemCaCertificates();
        if (system.isEmpty())
            QSKIP("no CA certificates on this system to show");
        problem.certificate = system.front();
        problem.errors = {QSslError::HostNameMismatch, QSslError::CertificateExpired};
        problem.changed = true;
        const auto box = TrustQuestion::MakeBox(problem);
        QCOMPARE(box->windowTitle(), QStringLiteral("エラー"));
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box->button(QMessageBox::Yes)->text(), QStringLiteral("信頼する"));
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
        QCOMPARE(box->escapeButton(), box->button(QMessageBox::No));
        for (const QString& part : {QStringLiteral("mail.example.jp:995"), QStringLiteral("変わっています"),
                                    pop3::ProblemText(QSslError::HostNameMismatch),
                                    pop3::ProblemText(QSslError::CertificateExpired),
                                    pop3::FingerprintText(pop3::CertificateDigest(problem.certificate))})
            QVERIFY2(box->text().contains(part), qPrintable(part));

        for (const bool yes : {true, false}) {
            QTimer::singleShot(0, [yes] {
                if (auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    shown->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
            });
            QCOMPARE(TrustQuestion::Ask(problem), yes);
        }
    }

    // With the new-only choice: ids decide, nothing is fetched, the notification lists the
    // newest first, and the remembered set follows the mailbox.
    void newMailOnly_data()
    {
        QTest::addColumn<QByteArrayList>("uids"); // the mailbox at this check
        QTest::addColumn<bool>("notifier");
        QTest::addColumn<QString>("calls");        // after "auth"
        QTest::addColumn<QByteArray>("seenAfter"); // the ids in the file afterwards

        const QString nothingNew = "pop3:uidl(5,1); pop3:close(5); " + NoMail + "0";
        QTest::newRow("1: three, none seen, no notifier")
            << QByteArrayList{"a", "b", "c"} << false
            << "pop3:uidl(5,1); pop3:close(5); host:picture(wife.gif); " + Mail + "3; host:character"
            << QByteArray("a b c");
        QTest::newRow("2: the same three")
            << QByteArrayList{"a", "b", "c"} << true << nothingNew << QByteArray("a b c");
        QTest::newRow("3: two more, told who wrote")
            << QByteArrayList{"a", "b", "c", "d", "e"} << true
            << "pop3:uidl(5,1); pop3:queue(5,5,4); pop3:top(5,5); pop3:top(5,4); pop3:close(5); "
               "host:picture(wife.gif); notify:新着メール 2 通|Eve：件名 5\nDave：件名 4; " +
                   Mail + "2; host:character"
            << QByteArray("a b c d e");
        QTest::newRow("4: one deleted on the server")
            << QByteArrayList{"a", "c", "d", "e"} << true << nothingNew << QByteArray("a c d e");
        QTest::newRow("5: seven new, five listed")
            << QByteArrayList{"a", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"} << true
            << "pop3:uidl(5,1); pop3:queue(5,11,10,9,8,7); pop3:top(5,11); pop3:top(5,10); pop3:top(5,9); "
               "pop3:top(5,8); pop3:top(5,7); pop3:close(5); host:picture(wife.gif); "
               "notify:新着メール 7 通|Eve：件名 11\nEve：件名 10\nEve：件名 9\nEve：件名 8\nEve：件名 "
               "7\nほか 2 通; " +
                   Mail + "7; host:character"
            << QByteArray("a c d e f g h i j k l");
        QTest::newRow("6: empty mailbox")
            << QByteArrayList{} << true << "pop3:close(5); " + NoMail + "0" << QByteArray("");
    }
    void newMailOnly()
    {
        QFETCH(QByteArrayList, uids);
        QFETCH(bool, notifier);
        QFETCH(QString, calls);
        QFETCH(QByteArray, seenAfter);

        // The rows are one mailbox's life: the remembered ids carry from row to row.
        static test::AppFolder app;
        Rig rig;
        rig.files = SettingsFiles(app.path(), app.file(QStringLiteral("vbmail.ini")));
        rig.files.StoreAccount(QStringLiteral("alice"), QStringLiteral("pw"), true);
        rig.host.newMailOnlyChoice = 1;
        rig.pop3.authenticateResult = int(uids.size());
        for (int k = 1; k <= uids.size(); ++k) {
            rig.pop3.uids[k] = uids[k - 1];
            rig.pop3.headers[k] = {k == 4 ? QStringLiteral("Dave <dave@example.jp>")
                                          : QStringLiteral("\"Eve\" <eve@example.jp>"),
                                   QStringLiteral("件名 %1").arg(k)};
        }
        test::RecordingNotifications notifications(rig.log);
        if (notifier)
            rig.cycle.notifications = &notifications;

        rig.cycle.CheckNewMail();

        QCOMPARE(rig.log.entries().mid(3), Calls(calls));
        QVERIFY2(rig.failures.isEmpty(), qPrintable(rig.failures.join(u'\n')));
        const QByteArray file = ReadBytes(rig.files.seenMailPath());
        QByteArrayList lines = file.split('\n');
        QVERIFY(lines.size() >= 2 && lines.takeLast().isEmpty());
        const QByteArray head = lines.takeFirst();
        QVERIFY2(head.startsWith("pelloway-seen 1 ") && head.endsWith(' ' + QByteArray::number(lines.size())),
                 head.constData());
        QCOMPARE(lines.join(' '), seenAfter);
        QCOMPARE(QFile::permissions(rig.files.seenMailPath()) & 0x0077, QFileDevice::Permissions());
    }

    // A server without unique ids gets the usual check, with one line saying so; what was
    // remembered stays. A damaged file counts every message as new once, and says so.
    void newMailOnlyFallsBack_data()
    {
        QTest::addColumn<bool>("uidl");
        QTest::addColumn<QByteArray>("seenBefore");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("seenKept");
        const QString reported = "pop3:close(5); host:picture(wife.gif); " + Mail + "2; host:character";
        QTest::newRow("no UIDL") << false << QByteArray("kept")
                                 << "pop3:uidl(5,1); pop3:message(0,8193); " + fetches(5, 2, 11) + "; " +
                                        reported
                                 << "pop.test gives no unique ids (UIDL), so every message counts as new: "
                                    "failure text"
                                 << true;
        QTest::newRow("damaged file")
            << true << QByteArray("pelloway-seen 1 zz\n\x01\x02") << "pop3:uidl(5,1); " + reported
            << "was damaged: every message counts as new once" << false;
        QTest::newRow("count does not match")
            << true << QByteArray("pelloway-seen 1 " + SeenMail::Key("pop.test", "alice") + " 5\na\n")
            << "pop3:uidl(5,1); " + reported << "was damaged" << false;
        QTest::newRow("another account's file")
            << true << QByteArray("pelloway-seen 1 " + SeenMail::Key("pop.test", "bob") + " 2\na\nb\n")
            << "pop3:uidl(5,1); " + reported << "" << false;
    }
    void newMailOnlyFallsBack()
    {
        QFETCH(bool, uidl);
        QFETCH(QByteArray, seenBefore);
        QFETCH(QString, calls);
        QFETCH(QString, failure);
        QFETCH(bool, seenKept);
        Rig rig;
        rig.host.newMailOnlyChoice = 1;
        rig.pop3.authenticateResult = 2;
        if (uidl)
            rig.pop3.uids = {{1, "a"}, {2, "b"}};
        QVERIFY(WriteBytes(rig.files.seenMailPath(), seenBefore));

        rig.cycle.CheckNewMail();

        QCOMPARE(rig.log.entries().mid(3), Calls(calls));
        QCOMPARE(rig.failures.size(), failure.isEmpty() ? 0 : 1);
        if (!failure.isEmpty())
            QVERIFY2(rig.failures[0].contains(failure), qPrintable(rig.failures[0]));
        const QByteArray after = ReadBytes(rig.files.seenMailPath());
        if (seenKept) {
            QCOMPARE(after, seenBefore);
        } else {
            QCOMPARE(after, "pelloway-seen 1 " + SeenMail::Key("pop.test", "alice") + " 2\na\nb\n");
            rig.log.take();
            rig.cycle.CheckNewMail();
            QCOMPARE(rig.log.entries().mid(3), Calls("pop3:uidl(5,1); pop3:close(5); " + NoMail + "0"));
        }
    }

    // A program told to end during the report ends there: no character
    // window, no hang-up, no window left.
    void programEndsDuringTheReport()
    {
        Rig rig;
        rig.pop3.authenticateResult = 3;
        rig.host.hangUpChoice = 1;
        rig.duringWait = [] {
            QTimer::singleShot(10, [] { QCoreApplication::exit(0); });
            QVERIFY(!WaitMilliseconds(600000));
        };
        rig.cycle.CheckNewMail();
        QCOMPARE(rig.log.entries().last(), QStringLiteral("report 1000 新着メールが有ります|3"));
        QVERIFY(!rig.cycle.msgForm().isLoaded());
        QVERIFY(!rig.cycle.IsRunning());
        ProgramEnd::resetInstance();
    }
};

QTEST_MAIN(TestCheckCycle)
#include "test_check_cycle.moc"
