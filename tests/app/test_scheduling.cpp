// Check scheduling on the main window, tick by tick: the counting tick, the trigger tick
// and the banner, driven by calling the handlers (no waiting), with a mail library that
// only counts connections. Also: a failed save at the end, and the tooltip.

#include "app/MainForm.h"
#include "character/CharacterWindow.h"
#include "mail/CheckCycle.h"
#include "platform/BannerStrip.h"
#include "platform/EndingSignals.h"
#include "platform/Mci.h"
#include "platform/QuietPlatform.h"
#include "platform/Ras.h"
#include "platform/Twips.h"
#include "platform/linux/x11/X11BannerStrip.h"
#include "settings/DialogTyping.h"
#include "settings/SettingsFiles.h"
#include "support/BoxAnswerer.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>

using namespace pelloway;

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

    Rig()
    {
        form = std::make_unique<MainForm>(files, MainFormServices{pop3, mci, ras, character});
        form->endProgramHook = [this] { ++ended; };
        form->checkCycle().wait = [](int) {};
        form->checkCycle().failureLine = [this](const QString& line) { failureLines << line; };
        form->values().PopServer = QStringLiteral("pop.test");
    }

    // Runs `count` seconds; gives the seconds (counted from 1 over the rig's life) at which a
    // check started.
    QList<int> run(int count)
    {
        QList<int> checks;
        for (int i = 0; i < count; ++i) {
            const int before = pop3.connects;
            // One second: the counting tick, then the ten trigger ticks of that second.
            form->Timer3_Timer();
            for (int k = 0; k < 10; ++k)
                form->Timer1_Timer();
            ++m_seconds;
            for (int k = before; k < pop3.connects; ++k)
                checks << m_seconds;
        }
        return checks;
    }

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
    // the count starts again from 0 there. Zero, negative and unreadable intervals never fire,
    // and the minute count goes on.
    void cadence_data()
    {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QList<int>>("checks");
        QTest::newRow("1") << "1" << 200 << QList<int>{61, 122, 183};
        QTest::newRow("5分 works as 5") << QStringLiteral("5分") << 310 << QList<int>{305};
        QTest::newRow("1.5 fires at 2") << "1.5" << 250 << QList<int>{122, 244};
        QTest::newRow("0: off") << "0" << 400 << QList<int>{};
        QTest::newRow("abc: as 0") << "abc" << 400 << QList<int>{};
        QTest::newRow("negative: never") << "-5" << 400 << QList<int>{};
    }
    void cadence()
    {
        QFETCH(QString, interval);
        QFETCH(int, seconds);
        QFETCH(QList<int>, checks);
        Rig rig;
        MainForm& form = *rig.form;
        form.setForm()->SetIntervalText(interval);
        QCOMPARE(rig.run(seconds), checks);
        QCOMPARE(form.Text4->text(), QString::number(seconds % 61));
        if (checks.isEmpty())
            QCOMPARE(form.Text1->text(), QString::number(seconds / 61)); // never reset
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
        QTest::newRow("raised past the count: waits for it") << "3" << 150 << "4" << 100 << QList<int>{244};
        QTest::newRow("\"1\" on the way to \"10\" at a count of 2")
            << "5" << 150 << "10" << 500 << QList<int>{610};
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

    // The user closes the settings dialog: the next trigger tick loads it again, hidden, from
    // the file, and scheduling goes on with what it reads there.
    void closedDialogComesBackFromTheFile()
    {
        Rig rig;
        MainForm& form = *rig.form;
        form.setForm().show();
        SetForm* dialog = form.setForm().loadedForm();
        test::Retype(dialog->Text2, QStringLiteral("1.5"));
        QVERIFY(dialog->close());
        QVERIFY(!form.setForm().isLoaded());

        form.Timer1_Timer();
        QVERIFY(form.setForm().isLoaded());
        QVERIFY(!form.setForm().loadedForm()->isVisible());
        QCOMPARE(form.Text5->text(), QStringLiteral("1"));
        QCOMPARE(rig.run(130), (QList<int>{61, 122}));
    }

    // Timer4: -20 twips a tick from 1440; at -1500 (the 147th tick) it jumps back on the next.
    // Off X11 (the offscreen platform here) the strip is Qt's painting: each tick moves the
    // caption widget itself. (Under X11 test_banner_strip compares both.)
    void banner()
    {
        Rig rig;
        MainForm& form = *rig.form;
        form.SetBannerStrip(MakeBannerStrip(form.Picture5, form.Label1));
        QVERIFY(!form.bannerStrip().DrawnByServer());
        form.show();
        QCOMPARE(form.label1Left(), 1440);
        for (int tick = 1; tick <= 2 * 148; ++tick) {
            form.Timer4_Timer();
            const int left = 1440 - 20 * (tick % 148);
            QCOMPARE(form.label1Left(), left);
            QCOMPARE(form.Label1->x(), TwipsToPixels(left));
        }
        QCOMPARE(form.Label1->text(), QStringLiteral("インターバルチェック"));
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
