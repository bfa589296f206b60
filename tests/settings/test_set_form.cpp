// The settings dialog "設定": its load step, the interval change handling on the main
// window, the close step's writes, its life through FormHolder, and how it looks.

#include "platform/Ansi.h"
#include "platform/Fonts.h"
#include "settings/DialogTyping.h"
#include "settings/SetForm.h"
#include "settings/SettingsFiles.h"
#include "support/BoxAnswerer.h"
#include "support/ReferenceRendering.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <cerrno>
#include <cstring>

using namespace pelloway;
using test::ReadBytes;
using test::WriteBytes;

namespace {

// The main window as the dialog sees it: every call noted.
class FakeHost final : public SetFormHost
{
public:
    QStringList calls;
    void SetIntervalIndicator(const QString& onOff) override
    {
        calls << QStringLiteral("indicator ") + onOff;
    }
    void SetIntervalSwitch(int value) override { calls << QStringLiteral("check3 %1").arg(value); }
    void SetIntervalMirrorText(const QString& text) override { calls << QStringLiteral("text5 ") + text; }
    void SetCountingTick(int ms) override { calls << QStringLiteral("timer3 %1").arg(ms); }
    void ShowIdPassForm() override { calls << QStringLiteral("show IdPassForm"); }
    void ShowOptionForm() override { calls << QStringLiteral("show OptionForm"); }
};

// What the dialog tells the main window for an interval: ON with the one-second count, or OFF.
QStringList Applied(bool on, const QString& text)
{
    return {on ? "indicator ON" : "indicator OFF", on ? "check3 1" : "check3 0", "text5 " + text,
            on ? "timer3 1000" : "timer3 0"};
}

QByteArray Ini(const QByteArray& lines)
{
    return "[EXEINI]\r\n" + lines;
}

} // namespace

class TestSetForm : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<test::AppFolder> m_app;
    std::unique_ptr<SettingsFiles> m_files;
    std::unique_ptr<FakeHost> m_host;
    std::unique_ptr<FormHolder<SetForm>> m_form;

    QString ini() const { return m_files->iniPath(); }

private slots:
    void initTestCase() { InstallFontSubstitutions(); }
    void init()
    {
        m_app = std::make_unique<test::AppFolder>();
        m_files = std::make_unique<SettingsFiles>(m_app->path(), m_app->file(QStringLiteral("vbmail.ini")));
        m_host = std::make_unique<FakeHost>();
        m_form = std::make_unique<FormHolder<SetForm>>([this] { return new SetForm(*m_files, *m_host); });
    }
    void cleanup()
    {
        m_form.reset();
        m_host.reset();
        m_files.reset();
        m_app.reset();
    }

    // Creating the object reads both options and applies the interval; only a zero interval
    // is written back at once.
    void loadStep_data()
    {
        QTest::addColumn<QByteArray>("file"); // empty: no ini.ini
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QByteArray>("fileAfter");
        QTest::newRow("first start: no file")
            << QByteArray() << false << QStringLiteral("0") << Applied(false, "0") << Ini("NUMBER2=0\r\n");
        QTest::newRow("stored 3, box ticked")
            << Ini("NUMBER=1\r\nNUMBER2=3\r\n") << true << QStringLiteral("3") << Applied(true, "3")
            << Ini("NUMBER=1\r\nNUMBER2=3\r\n");
        QTest::newRow("NUMBER 2 leaves the box clear")
            << Ini("NUMBER=2\r\nNUMBER2=3\r\n") << false << QStringLiteral("3") << Applied(true, "3")
            << Ini("NUMBER=2\r\nNUMBER2=3\r\n");
        QTest::newRow("negative changes nothing") << Ini("NUMBER2=-3\r\n") << false << QStringLiteral("-3")
                                                  << QStringList{} << Ini("NUMBER2=-3\r\n");
    }
    void loadStep()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, checked);
        QFETCH(QString, interval);
        QFETCH(QStringList, calls);
        QFETCH(QByteArray, fileAfter);
        if (!file.isEmpty())
            QVERIFY(WriteBytes(ini(), file));
        SetForm& form = m_form->get();
        QVERIFY(!form.isVisible()); // loading does not show it
        QCOMPARE(form.HangUpChoice(), checked ? 1 : 0);
        QCOMPARE(form.IntervalText(), interval);
        QCOMPARE(m_host->calls, calls);
        QCOMPARE(ReadBytes(ini()), fileAfter);
    }

    // Typing into the interval box, as the user does. Before each row: stored 7 (ON).
    void typing_data()
    {
        QTest::addColumn<QString>("typed"); // replaces the box's text; empty: cleared
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QByteArray>("fileAfter");
        const QByteArray seven = Ini("NUMBER2=7\r\n");
        QTest::newRow("cleared: 0, written at once")
            << QString() << Applied(false, "0") << Ini("NUMBER2=0\r\n");
        QTest::newRow("10: ON, nothing written") << "10" << Applied(true, "10") << seven;
        QTest::newRow("-5: nothing changes") << "-5" << QStringList{} << seven;
        QTest::newRow("abc: 0, written as typed") << "abc" << Applied(false, "abc") << Ini("NUMBER2=abc\r\n");
    }
    void typing()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, calls);
        QFETCH(QByteArray, fileAfter);
        QVERIFY(WriteBytes(ini(), Ini("NUMBER2=7\r\n")));
        m_form->show();
        m_host->calls.clear();
        test::Retype(m_form->get().Text2, typed);
        QCOMPARE(m_form->get().IntervalText(), typed.isEmpty() ? QStringLiteral("0") : typed);
        QCOMPARE(m_host->calls, calls);
        QCOMPARE(ReadBytes(ini()), fileAfter);
    }

    // Setting the value from outside runs the same handling; setting the same text again
    // changes nothing and so runs nothing.
    void settingTheValue()
    {
        SetForm& form = m_form->get();
        m_host->calls.clear();
        form.SetIntervalText(QStringLiteral("4"));
        QCOMPARE(m_host->calls, Applied(true, "4"));
        m_host->calls.clear();
        form.SetIntervalText(QStringLiteral("4"));
        QCOMPARE(m_host->calls, QStringList{});
        form.SetHangUpChoice(1);
        QCOMPARE(form.HangUpChoice(), 1);
        form.SetHangUpChoice(7); // neither 1 nor 0: unchanged
        QCOMPARE(form.HangUpChoice(), 1);
        form.SetHangUpChoice(0);
        QCOMPARE(form.HangUpChoice(), 0);
    }

    // The close box writes NUMBER, then NUMBER2, discards the object, and the next reader
    // re-creates it hidden from the file.
    void closeBoxWritesAndReloads_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("tick");
        QTest::addColumn<QString>("reloaded");
        QTest::addColumn<QStringList>("reloadCalls");
        QTest::newRow("12, ticked") << "12" << true << "12" << Applied(true, "12");
        QTest::newRow("-5 is written") << "-5" << false << "-5" << QStringList{};
        QTest::newRow("Japanese text in cp932")
            << QStringLiteral("3分毎") << false << "3" << Applied(true, "3");
    }
    void closeBoxWritesAndReloads()
    {
        QFETCH(QString, typed);
        QFETCH(bool, tick);
        QFETCH(QString, reloaded);
        QFETCH(QStringList, reloadCalls);
        m_form->show();
        SetForm* form = m_form->loadedForm();
        QVERIFY(QFile::remove(ini())); // written by the load step; gone, the close step's order shows
        test::Retype(form->Text2, typed);
        if (tick)
            QTest::mouseClick(form->Check1, Qt::LeftButton);
        QCOMPARE(form->HangUpChoice(), tick ? 1 : 0);

        QVERIFY(form->close());
        QVERIFY(!m_form->isLoaded());
        QCOMPARE(ReadBytes(ini()),
                 Ini(QByteArray("NUMBER=") + (tick ? "1" : "0") + "\r\nNUMBER2=" + ToAnsi(typed) + "\r\n"));

        m_host->calls.clear();
        QCOMPARE(m_form->get().IntervalText(), reloaded);
        QVERIFY(!m_form->loadedForm()->isVisible());
        QCOMPARE(m_form->get().HangUpChoice(), tick ? 1 : 0);
        QCOMPARE(m_host->calls, reloadCalls);
    }

    // The new-only choice: read when the object is created, written on closing; a file
    // where it was never on keeps no key for it.
    void newMailOnlyChoice_data()
    {
        QTest::addColumn<QByteArray>("stored"); // NUMBER3's line, or empty
        QTest::addColumn<bool>("checkedAtLoad");
        QTest::addColumn<bool>("click");
        QTest::addColumn<QByteArray>("written"); // NUMBER3's line after closing, or empty
        const QByteArray one("NUMBER3=1\r\n");
        QTest::newRow("never on: no key, none written") << QByteArray() << false << false << QByteArray();
        QTest::newRow("ticked: written") << QByteArray() << false << true << one;
        QTest::newRow("stored 1 comes back ticked") << one << true << false << one;
        QTest::newRow("cleared: written 0") << one << true << true << QByteArray("NUMBER3=0\r\n");
        QTest::newRow("stored 2 leaves it clear")
            << QByteArray("NUMBER3=2\r\n") << false << false << QByteArray("NUMBER3=0\r\n");
    }
    void newMailOnlyChoice()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, checkedAtLoad);
        QFETCH(bool, click);
        QFETCH(QByteArray, written);
        QVERIFY(WriteBytes(ini(), Ini("NUMBER=0\r\nNUMBER2=7\r\n" + stored)));
        m_form->show();
        SetForm* form = m_form->loadedForm();
        QCOMPARE(form->NewMailOnlyChoice(), checkedAtLoad ? 1 : 0);
        if (click)
            QTest::mouseClick(form->Check2, Qt::LeftButton);
        QCOMPARE(form->NewMailOnlyChoice(), checkedAtLoad != click ? 1 : 0);
        QCOMPARE(form->HangUpChoice(), 0);
        QVERIFY(form->close());
        QCOMPARE(ReadBytes(ini()), Ini("NUMBER=0\r\nNUMBER2=7\r\n" + written));
        QCOMPARE(m_form->get().NewMailOnlyChoice(), checkedAtLoad != click ? 1 : 0);
    }

    // A close whose save fails says which file and why, and the dialog stays open with what
    // was typed; once the file can be written, the same close saves what was kept.
    void failedSaveKeepsTheDialog()
    {
        test::AppFolder app(false);
        SettingsFiles files(app.path(), app.file(QStringLiteral("vbmail.ini")));
        FormHolder<SetForm> holder([&] { return new SetForm(files, *m_host); });
        holder.show();
        test::Retype(holder->Text2, QStringLiteral("9"));
        QTest::mouseClick(holder->Check1, Qt::LeftButton);

        test::BoxAnswerer answerer(QMessageBox::Ok);
        QVERIFY(!holder->close());
        QVERIFY2(answerer.SawOneSaveFailure(files.iniPath(), QString::fromLocal8Bit(std::strerror(ENOENT))),
                 qPrintable(answerer.seen.join(u'\n')));
        QVERIFY(holder.isLoaded());
        QVERIFY(holder->isVisible());
        QCOMPARE(holder->IntervalText(), QStringLiteral("9"));
        QCOMPARE(holder->HangUpChoice(), 1);

        QVERIFY(QDir().mkpath(app.dataPath()));
        QVERIFY(holder->close());
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(files.ReadIntervalMinutes(), 9);
        QCOMPARE(files.ReadHangUpChoice(), 1);
    }

    // unload() is the program's discard: no close step, nothing written.
    void unloadSkipsTheCloseStep()
    {
        QVERIFY(WriteBytes(ini(), Ini("NUMBER=0\r\nNUMBER2=7\r\n")));
        m_form->show();
        test::Retype(m_form->get().Text2, QStringLiteral("9"));
        m_form->unload();
        QVERIFY(!m_form->isLoaded());
        QCOMPARE(ReadBytes(ini()), Ini("NUMBER=0\r\nNUMBER2=7\r\n"));
        QCOMPARE(m_form->get().IntervalText(), QStringLiteral("7"));
    }

    // The two buttons open their dialogs and this one stays open and usable; Esc and Enter
    // close nothing (there is no OK or cancel button).
    void buttonsAndKeys()
    {
        m_form->show();
        SetForm* form = m_form->loadedForm();
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QCOMPARE(m_host->calls.mid(m_host->calls.size() - 2),
                 (QStringList{"show IdPassForm", "show OptionForm"}));
        form->Text2->setFocus();
        QTest::keyClick(form->Text2, Qt::Key_Escape);
        QTest::keyClick(form->Text2, Qt::Key_Return);
        QVERIFY(m_form->isLoaded());
        QVERIFY(form->isVisible());
        test::Retype(form->Text2, QStringLiteral("2"));
        QCOMPARE(m_host->calls.mid(m_host->calls.size() - 4), Applied(true, "2"));
    }

    // The interval box takes only what ini.ini can hold.
    void refusesWhatTheFileCannotHold()
    {
        QLineEdit* box = m_form->get().Text2;
        test::CommitText(box, QStringLiteral("한"));
        QCOMPARE(box->text(), QStringLiteral("0"));
    }

    // How it looks, loaded from a file with the hang-up choice on and a 15-minute interval;
    // the fixed frame, centred on the screen.
    void looks()
    {
        QVERIFY(WriteBytes(ini(), Ini("NUMBER=1\r\nNUMBER2=15\r\n")));
        SetForm& form = m_form->get();
        const QString difference =
            test::CompareWithReference(&form, QStringLiteral("settings"), QStringLiteral("SetForm"));
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QCOMPARE(form.windowTitle(), QStringLiteral("設定"));
        QVERIFY(!(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(form.geometry().center(), QGuiApplication::primaryScreen()->availableGeometry().center());
    }

    void focusOrder()
    {
        m_form->show();
        SetForm* form = m_form->loadedForm();
        QCOMPARE(test::TabWalk(form, form->Command2, 6),
                 (QStringList{"Command2", "Command1", "Check1", "Text2", "Check2", "Command2"}));
    }
};

QTEST_MAIN(TestSetForm)
#include "test_set_form.moc"
