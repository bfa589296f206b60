// Check scheduling on the main window, tick by tick: the counting tick, the trigger tick
// and the banner, driven by calling the handlers (no waiting), with a mail library that
// only counts connections. Also: the interval survives the end of the program.

#include "app/MainForm.h"
#include "mail/CheckCycle.h"
#include "platform/BannerStrip.h"
#include "platform/EndingSignals.h"
#include "platform/Mci.h"
#include "platform/Ras.h"
#include "platform/Twips.h"
#include "platform/linux/x11/X11BannerStrip.h"
#include "settings/DialogTyping.h"
#include "settings/IdPassForm.h"
#include "settings/OptionForm.h"
#include "settings/SettingsFiles.h"
#include "support/BoxAnswerer.h"
#include "support/StandIns.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <map>

using namespace pelloway;
using test::ReadBytes;
using test::WriteBytes;

namespace {

// The main window with its services, its settings files in a temporary application folder,
// and the report's one-second wait taken out.
struct Rig
{
    test::AppFolder app;
    SettingsFiles files{app.path(), app.file(QStringLiteral("vbmail.ini"))};
    UnavailablePop3Library pop3;
    NoMci mci;
    NoRas ras;
    HiddenCharacterWindow character;
    int ended = 0;
    QStringList failureLines;
    std::unique_ptr<MainForm> form;

    Rig() { makeForm(); }
    void makeForm()
    {
        form = std::make_unique<MainForm>(files, MainFormServices{pop3, mci, ras, character});
        form->endProgramHook = [this] { ++ended; };
        form->checkCycle().wait = [](int) {};
        form->checkCycle().failureLine = [this](const QString& line) { failureLines << line; };
        form->values().PopServer = QStringLiteral("pop.test");
    }

    // One second of the running program: the counting tick, then the ten trigger ticks that
    // fall within that second.
    void second()
    {
        form->Timer3_Timer();
        for (int i = 0; i < 10; ++i)
            form->Timer1_Timer();
    }
    // Runs `count` seconds; gives the seconds (counted from 1 over the rig's life) at which a
    // check started.
    QList<int> run(int count)
    {
        QList<int> checks;
        for (int i = 0; i < count; ++i) {
            const int before = pop3.connects;
            second();
            ++m_seconds;
            for (int k = before; k < pop3.connects; ++k)
                checks << m_seconds;
        }
        return checks;
    }
    int seconds() const { return m_seconds; }

private:
    int m_seconds = 0;
};

} // namespace

class TestScheduling : public QObject
{
    Q_OBJECT
private slots:
    // From start-up (counters "Text1"/"Text4", i.e. 0), a counted minute takes 61 ticks; a
    // positive interval fires at the counted minute that brings the count to or past it, and
    // the count starts again from 0 there. Zero and negative intervals never fire.
    void cadence_data()
    {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QList<int>>("checks");
        QTest::addColumn<QString>("indicator");
        QTest::addColumn<QString>("text5");
        QTest::addColumn<bool>("timer3");
        QTest::addColumn<QString>("minuteAfter"); // empty: not compared
        QTest::newRow("1") << "1" << 200 << QList<int>{61, 122, 183} << "ON"
                           << "1" << true << "";
        QTest::newRow("2") << "2" << 250 << QList<int>{122, 244} << "ON"
                           << "2" << true << "";
        QTest::newRow("5分 works as 5")
            << QStringLiteral("5分") << 310 << QList<int>{305} << "ON" << QStringLiteral("5分") << true << "";
        QTest::newRow("1.5 fires at 2") << "1.5" << 250 << QList<int>{122, 244} << "ON"
                                        << "1.5" << true << "";
        QTest::newRow("2.5 fires at 3") << "2.5" << 370 << QList<int>{183, 366} << "ON"
                                        << "2.5" << true << "";
        QTest::newRow("0: off") << "0" << 400 << QList<int>{} << "OFF"
                                << "0" << false << "6";
        QTest::newRow("empty: becomes 0, off") << "" << 400 << QList<int>{} << "OFF"
                                               << "0" << false << "6";
        QTest::newRow("abc: as 0") << "abc" << 400 << QList<int>{} << "OFF"
                                   << "abc" << false << "6";
        QTest::newRow("negative: never, counting goes on") << "-5" << 400 << QList<int>{} << "OFF"
                                                           << "0" << false << "6";
    }
    void cadence()
    {
        QFETCH(QString, interval);
        QFETCH(int, seconds);
        QFETCH(QList<int>, checks);
        QFETCH(QString, indicator);
        QFETCH(QString, text5);
        QFETCH(bool, timer3);
        QFETCH(QString, minuteAfter);
        Rig rig;
        MainForm& form = *rig.form;
        QCOMPARE(form.Text1->text(), QStringLiteral("Text1"));
        QCOMPARE(form.Text4->text(), QStringLiteral("Text4"));
        form.setForm()->SetIntervalText(interval);

        QCOMPARE(form.Label2_1->text(), indicator);
        QCOMPARE(form.Check3->isChecked(), indicator == u"ON");
        QCOMPARE(form.Text5->text(), text5);
        QCOMPARE(form.Timer3->isActive(), timer3); // "period 0" is a stopped timer
        if (timer3) {
            QCOMPARE(form.Timer3->interval(), 1000);
            QCOMPARE(form.Timer3->timerType(), Qt::PreciseTimer);
        }

        QCOMPARE(rig.run(seconds), checks);
        if (!minuteAfter.isEmpty()) {
            QCOMPARE(form.Text1->text(), minuteAfter); // never reset
            QCOMPARE(form.Text4->text(), QString::number(seconds % 61));
        }
    }

    // Changes of the interval while counting, second by second. A change keeps the counters
    // and never starts a check by itself: only a counted minute (every 61st tick) can, when
    // its count is at or past the interval, and then the count starts again from 0. Keys are
    // typed one by one into the open dialog, so partial values ("1" on the way to "10") pass
    // through the interval.
    void intervalChanges_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<int>("before");   // seconds run with the first interval
        QTest::addColumn<QString>("keys"); // typed after select-all, one key at a time
        QTest::addColumn<int>("after");
        QTest::addColumn<QList<int>>("checks");
        QTest::newRow("lowered below the count: next counted minute, then every 3")
            << "10" << 244 << "3" << 300 << QList<int>{305, 488};
        QTest::newRow("lowered to the count: next counted minute")
            << "10" << 200 << "3" << 250 << QList<int>{244, 427};
        QTest::newRow("raised past the count: waits for it") << "3" << 150 << "4" << 100 << QList<int>{244};
        QTest::newRow("\"1\" on the way to \"10\" at a count of 2")
            << "5" << 150 << "10" << 500 << QList<int>{610};
        QTest::newRow("\"1\" left standing at a count of 2: next counted minute")
            << "5" << 150 << "1" << 130 << QList<int>{183, 244};
        QTest::newRow("1.5 typed at a count of 3: next counted minute, every 2 after")
            << "10" << 190 << "1.5" << 300 << QList<int>{244, 366, 488};
    }
    void intervalChanges()
    {
        QFETCH(QString, first);
        QFETCH(int, before);
        QFETCH(QString, keys);
        QFETCH(int, after);
        QFETCH(QList<int>, checks);
        Rig rig;
        MainForm& form = *rig.form;
        form.setForm().show();
        QLineEdit* box = form.setForm()->Text2;
        test::Retype(box, first);
        QCOMPARE(rig.run(before), QList<int>{});
        const QString countBefore = form.Text1->text();

        box->setFocus();
        box->selectAll();
        for (const QChar key : keys) {
            QTest::keyClicks(box, QString(key));
            for (int i = 0; i < 10; ++i)
                form.Timer1_Timer(); // a second of trigger ticks between two keys
            QCOMPARE(rig.pop3.connects, 0);
        }
        QCOMPARE(box->text(), keys);
        QCOMPARE(form.Text1->text(), countBefore); // the change kept the counters
        QCOMPARE(rig.run(after), checks);
        for (const int second : checks)
            QCOMPARE_GE(second, before + 1);
    }

    // Trigger ticks that arrive while a check waits on its report start nothing more.
    void noSecondCheckDuringAReport()
    {
        Rig rig;
        MainForm& form = *rig.form;
        int nested = 0;
        form.checkCycle().wait = [&](int) {
            for (int i = 0; i < 10; ++i)
                form.Timer1_Timer();
            ++nested;
        };
        form.setForm()->SetIntervalText(QStringLiteral("1"));
        QCOMPARE(rig.run(62), QList<int>{61});
        QCOMPARE(nested, 1);
    }

    // The user closes the settings dialog: it writes both options; the next trigger tick
    // loads it again, hidden, from the file, and scheduling goes on.
    void closedDialogComesBackFromTheFile_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("reloaded");
        QTest::addColumn<QList<int>>("checks");
        QTest::newRow("1") << "1"
                           << "1" << QList<int>{61, 122};
        QTest::newRow("1.5 comes back as 1") << "1.5"
                                             << "1" << QList<int>{61, 122};
        QTest::newRow("0") << "0"
                           << "0" << QList<int>{};
    }
    void closedDialogComesBackFromTheFile()
    {
        QFETCH(QString, typed);
        QFETCH(QString, reloaded);
        QFETCH(QList<int>, checks);
        Rig rig;
        MainForm& form = *rig.form;
        form.setForm().show();
        SetForm* dialog = form.setForm().loadedForm();
        test::Retype(dialog->Text2, typed);
        QTest::mouseClick(dialog->Check1, Qt::LeftButton);
        QVERIFY(dialog->close());
        QVERIFY(!form.setForm().isLoaded());

        form.Timer1_Timer();
        QVERIFY(form.setForm().isLoaded());
        QVERIFY(!form.setForm().loadedForm()->isVisible());
        QCOMPARE(form.setForm()->IntervalText(), reloaded);
        QCOMPARE(form.setForm()->HangUpChoice(), 1);
        QCOMPARE(form.Text5->text(), reloaded);
        QCOMPARE(rig.run(130), checks);
    }

    // Timer4: -20 twips a tick from 1440; at -1500 (the 147th tick) it jumps back on the next.
    void banner_data()
    {
        QTest::addColumn<int>("ticks");
        QTest::addColumn<int>("left");
        QTest::newRow("design position") << 0 << 1440;
        QTest::newRow("one tick") << 1 << 1420;
        QTest::newRow("crossing 0") << 73 << -20;
        QTest::newRow("last step") << 147 << -1500;
        QTest::newRow("back to the start") << 148 << 1440;
        QTest::newRow("second pass") << 149 << 1420;
        QTest::newRow("two whole passes") << 296 << 1440;
    }
    void banner()
    {
        QFETCH(int, ticks);
        QFETCH(int, left);
        Rig rig;
        MainForm& form = *rig.form;
        for (int i = 0; i < ticks; ++i)
            form.Timer4_Timer();
        QCOMPARE(form.label1Left(), left);
        QCOMPARE(form.Label1->x(), TwipsToPixels(left));
        QCOMPARE(form.Label1->text(), QStringLiteral("インターバルチェック"));
    }

    // Off X11 (the offscreen platform here) the strip stays Qt's painting, as it always was:
    // each tick moves the caption widget itself. (Under X11 test_banner_strip compares both.)
    void bannerPaintedOffX11()
    {
        Rig rig;
        MainForm& form = *rig.form;
        form.SetBannerStrip(MakeBannerStrip(form.Picture5, form.Label1));
        QVERIFY(!form.bannerStrip().DrawnByServer());
        form.show();
        for (int i = 1; i <= 8; ++i) {
            form.Timer4_Timer();
            QCOMPARE(form.Label1->x(), TwipsToPixels(1440 - 20 * i));
            QVERIFY(form.Picture5->updatesEnabled() && form.Label1->updatesEnabled());
        }
    }

    // The dialogs show the program's icon (built into the program with the main window).
    void dialogsCarryTheProgramIcon()
    {
        Rig rig;
        MainForm& form = *rig.form;
        const QImage program = form.windowIcon().pixmap(32, 32).toImage();
        QVERIFY(!program.isNull());
        for (QWidget* dialog : std::initializer_list<QWidget*>{
                 &form.setForm().get(), &form.optionForm().get(), &form.idPassForm().get()}) {
            const QImage icon = dialog->windowIcon().pixmap(32, 32).toImage();
            QVERIFY(!icon.isNull());
            QCOMPARE(icon.convertToFormat(QImage::Format_ARGB32),
                     program.convertToFormat(QImage::Format_ARGB32));
        }
    }

    // However the program ends with the settings dialog loaded, the changed interval and
    // hang-up choice are in ini.ini afterwards, and the next start shows them.
    void endingKeepsTheInterval_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("main window closed") << "close";
        QTest::newRow("character window's right click") << "end";
        QTest::newRow("SIGTERM") << "SIGTERM";
        QTest::newRow("SIGINT") << "SIGINT";
        QTest::newRow("SIGHUP") << "SIGHUP";
        QTest::newRow("the session ends") << "session";
    }
    void endingKeepsTheInterval()
    {
        QFETCH(QString, how);
        Rig rig;
        QVERIFY(WriteBytes(rig.app.file(QStringLiteral("vbmail.ini")),
                           "SMTP=\r\nPOP3=pop.test\r\nMAIL=\r\nAPOP=0\r\n"));
        QVERIFY(WriteBytes(rig.files.idPassPath(), "[EXEINI]\r\nNAME=u\r\nNAME2=p\r\n"));
        MainForm& form = *rig.form;
        form.setForm().show();
        SetForm* dialog = form.setForm().loadedForm();
        test::Retype(dialog->Text2, QStringLiteral("7"));
        QTest::mouseClick(dialog->Check1, Qt::LeftButton);
        QCOMPARE(rig.files.ReadIntervalMinutes(), 0); // a positive interval is not written while typing

        const std::map<QString, int> signalNumbers{
            {"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}, {"SIGHUP", SIGHUP}};
        if (how == u"close") {
            QVERIFY(form.close());
        } else if (how == u"end") {
            form.EndProgram();
        } else if (how == u"session") {
            form.EndForSession();
        } else {
            const EndingSignals endingSignals([&](int) { form.EndForSession(); });
            QCOMPARE(::raise(signalNumbers.at(how)), 0);
            QCOMPARE(rig.ended, 0); // nothing is done inside the handler
            QTRY_COMPARE(rig.ended, 1);
        }
        QCOMPARE(rig.ended, 1);
        QCOMPARE(ReadBytes(rig.files.iniPath()), QByteArray("[EXEINI]\r\nNUMBER2=7\r\nNUMBER=1\r\n"));

        // The next run starts with them.
        rig.makeForm();
        rig.form->Form_Load();
        QCOMPARE(rig.form->Label2_1->text(), QStringLiteral("ON"));
        QCOMPARE(rig.form->Text5->text(), QStringLiteral("7"));
        QVERIFY(rig.form->Timer3->isActive());
        QCOMPARE(rig.form->HangUpChoice(), 1);
    }

    // A main window closed while ini.ini cannot be written: the box names it, the program goes
    // on with the dialog in front holding what was typed. The end of the session (a signal)
    // ends it anyway, saying why on standard error only.
    void failedSaveAtTheEnd()
    {
        Rig rig;
        MainForm& form = *rig.form;
        QVERIFY(QDir().mkpath(rig.files.iniPath()));
        test::BoxAnswerer answerer(QMessageBox::Ok);
        form.setForm().show();
        SetForm* dialog = form.setForm().loadedForm();
        test::Retype(dialog->Text2, QStringLiteral("7"));

        QVERIFY(!form.close());
        QCOMPARE(rig.ended, 0);
        QCOMPARE(answerer.seen.size(), 1);
        QVERIFY(answerer.seen.first().contains(QDir::toNativeSeparators(rig.files.iniPath())));
        QCOMPARE(form.setForm().loadedForm(), dialog);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->Text2->text(), QStringLiteral("7"));
        form.EndProgram(); // the bird's right click: the same
        QCOMPARE(rig.ended, 0);
        QCOMPARE(answerer.seen.size(), 2);

        form.EndForSession();
        QCOMPARE(rig.ended, 1);
        QCOMPARE(answerer.seen.size(), 2);
        QVERIFY(QFileInfo(rig.files.iniPath()).isDir());
    }

    // The main window's tooltip tells when the last check ran, its result and why it failed,
    // in the words of the standard-error line.
    void tooltipTellsTheLastCheck()
    {
        Rig rig;
        MainForm& form = *rig.form;
        QVERIFY(!form.toolTip().contains(u"結果"));
        const QRegularExpression time(
            QStringLiteral("最後のチェック: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\n"));

        form.Picture7_Click();
        QCOMPARE(rig.failureLines.size(), 1);
        QVERIFY2(form.toolTip().contains(time), qPrintable(form.toolTip()));
        QVERIFY2(
            form.toolTip().endsWith(QStringLiteral("結果: メールサーバーに接続できませんでした。\n理由: ") +
                                    rig.failureLines.last()),
            qPrintable(form.toolTip()));

        form.values().PopServer.clear();
        form.Picture7_Click();
        QCOMPARE(rig.failureLines.size(), 2);
        QVERIFY2(form.toolTip().endsWith(QStringLiteral("結果: POP3サーバーが設定されていません。\n理由: ") +
                                         rig.failureLines.last()),
                 qPrintable(form.toolTip()));
    }
};

QTEST_MAIN(TestScheduling)
#include "test_scheduling.moc"
