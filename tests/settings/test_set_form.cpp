// The settings dialog "設定": its load step, the interval change handling on the main
// window, the close step's writes, its life through FormHolder, and how it looks.

#include "platform/Ansi.h"
#include "platform/Twips.h"
#include "settings/DialogTyping.h"
#include "settings/SetForm.h"
#include "settings/SettingsFiles.h"
#include "support/BoxAnswerer.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <cerrno>
#include <cstring>

using namespace pelloway;
using test::ReadBytes;
using test::ShownText;
using test::TwipsRect;
using test::WriteBytes;

namespace {

// The main window as the dialog sees it: every call noted, plus the banner's state.
class FakeHost final : public SetFormHost
{
public:
    QStringList calls;
    QString indicator = QStringLiteral("ON"); // the banner's design caption
    int check3 = 0;
    QString text5;
    int timer3 = 0;

    void SetIntervalIndicator(const QString& onOff) override
    {
        indicator = onOff;
        calls << QStringLiteral("indicator ") + onOff;
    }
    void SetIntervalSwitch(int value) override
    {
        check3 = value;
        calls << QStringLiteral("check3 %1").arg(value);
    }
    void SetIntervalMirrorText(const QString& text) override
    {
        text5 = text;
        calls << QStringLiteral("text5 ") + text;
    }
    void SetCountingTick(int ms) override
    {
        timer3 = ms;
        calls << QStringLiteral("timer3 %1").arg(ms);
    }
    void ShowIdPassForm() override { calls << QStringLiteral("show IdPassForm"); }
    void ShowOptionForm() override { calls << QStringLiteral("show OptionForm"); }
};

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
        const QStringList off{"indicator OFF", "check3 0", "text5 0", "timer3 0"};
        QTest::newRow("first start: no file") << QByteArray() << false << "0" << off << Ini("NUMBER2=0\r\n");
        QTest::newRow("stored 15, box ticked")
            << Ini("NUMBER=1\r\nNUMBER2=15\r\n") << true << "15"
            << QStringList{"indicator ON", "check3 1", "text5 15", "timer3 1000"}
            << Ini("NUMBER=1\r\nNUMBER2=15\r\n");
        QTest::newRow("NUMBER 2 leaves the box clear")
            << Ini("NUMBER=2\r\nNUMBER2=3\r\n") << false << "3"
            << QStringList{"indicator ON", "check3 1", "text5 3", "timer3 1000"}
            << Ini("NUMBER=2\r\nNUMBER2=3\r\n");
        QTest::newRow("05 comes back as 5")
            << Ini("NUMBER2=05\r\n") << false << "5"
            << QStringList{"indicator ON", "check3 1", "text5 5", "timer3 1000"} << Ini("NUMBER2=05\r\n");
        QTest::newRow("1.5 comes back as 1")
            << Ini("NUMBER2=1.5\r\n") << false << "1"
            << QStringList{"indicator ON", "check3 1", "text5 1", "timer3 1000"} << Ini("NUMBER2=1.5\r\n");
        QTest::newRow("negative changes nothing") << Ini("NUMBER=0\r\nNUMBER2=-3\r\n") << false << "-3"
                                                  << QStringList{} << Ini("NUMBER=0\r\nNUMBER2=-3\r\n");
        QTest::newRow("text without a number reads 0")
            << Ini("NUMBER2=abc\r\n") << false << "0" << off << Ini("NUMBER2=0\r\n");
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

    void loadStepWithoutDataFolder()
    {
        test::AppFolder bare(false);
        SettingsFiles files(bare.path(), bare.file(QStringLiteral("vbmail.ini")));
        FormHolder<SetForm> holder([&] { return new SetForm(files, *m_host); });
        QCOMPARE(holder->IntervalText(), QStringLiteral("0"));
        QCOMPARE(holder->HangUpChoice(), 0);
        QCOMPARE(m_host->indicator, QStringLiteral("OFF"));
        QVERIFY(!QFile::exists(files.iniPath()));
    }

    // Typing into the interval box, key by key as the user does.
    void typing_data()
    {
        QTest::addColumn<QString>("typed"); // replaces the box's text; empty: cleared
        QTest::addColumn<QString>("boxAfter");
        QTest::addColumn<QString>("indicator");
        QTest::addColumn<int>("check3");
        QTest::addColumn<QString>("text5");
        QTest::addColumn<int>("timer3");
        QTest::addColumn<QByteArray>("fileAfter");
        // Before each row: stored 7 (ON, 1000 ms); the file holds "NUMBER2=7".
        const QByteArray seven = Ini("NUMBER2=7\r\n");
        QTest::newRow("cleared becomes 0, written at once") << ""
                                                            << "0"
                                                            << "OFF" << 0 << "0" << 0 << Ini("NUMBER2=0\r\n");
        QTest::newRow("10: ON, nothing written") << "10"
                                                 << "10"
                                                 << "ON" << 1 << "10" << 1000 << seven;
        QTest::newRow("-5: nothing changes") << "-5"
                                             << "-5"
                                             << "ON" << 1 << "7" << 1000 << seven;
        QTest::newRow("abc counts as 0, written as typed")
            << "abc"
            << "abc"
            << "OFF" << 0 << "abc" << 0 << Ini("NUMBER2=abc\r\n");
        QTest::newRow("5分 works as 5") << QStringLiteral("5分") << QStringLiteral("5分") << "ON" << 1
                                        << QStringLiteral("5分") << 1000 << seven;
        QTest::newRow("０ (full width) counts as 0")
            << QStringLiteral("０") << QStringLiteral("０") << "OFF" << 0 << QStringLiteral("０") << 0
            << Ini("NUMBER2=" + ToAnsi(QStringLiteral("０")) + "\r\n");
    }
    void typing()
    {
        QFETCH(QString, typed);
        QFETCH(QString, boxAfter);
        QFETCH(QString, indicator);
        QFETCH(int, check3);
        QFETCH(QString, text5);
        QFETCH(int, timer3);
        QFETCH(QByteArray, fileAfter);
        QVERIFY(WriteBytes(ini(), Ini("NUMBER2=7\r\n")));
        m_form->show();
        SetForm& form = m_form->get();
        QCOMPARE(m_host->timer3, 1000);

        test::Retype(form.Text2, typed);
        QCOMPARE(form.IntervalText(), boxAfter);
        QCOMPARE(m_host->indicator, indicator);
        QCOMPARE(m_host->check3, check3);
        QCOMPARE(m_host->text5, text5);
        QCOMPARE(m_host->timer3, timer3);
        QCOMPARE(ReadBytes(ini()), fileAfter);
    }

    // Setting the value from outside runs the same handling; setting the same text again
    // changes nothing and so runs nothing.
    void settingTheValue()
    {
        SetForm& form = m_form->get();
        m_host->calls.clear();
        form.SetIntervalText(QStringLiteral("4"));
        QCOMPARE(m_host->calls, (QStringList{"indicator ON", "check3 1", "text5 4", "timer3 1000"}));
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
        QTest::addColumn<QByteArray>("written"); // NUMBER2's bytes
        QTest::addColumn<QString>("reloaded");
        QTest::addColumn<QString>("indicatorAfterReload");
        QTest::newRow("12, ticked") << "12" << true << QByteArray("12") << "12"
                                    << "ON";
        QTest::newRow("05") << "05" << false << QByteArray("05") << "5"
                            << "ON";
        QTest::newRow("1.5") << "1.5" << true << QByteArray("1.5") << "1"
                             << "ON";
        QTest::newRow("-5 is written") << "-5" << false << QByteArray("-5") << "-5"
                                       << "OFF";
        QTest::newRow("Japanese text in cp932")
            << QStringLiteral("3分毎") << false << ToAnsi(QStringLiteral("3分毎")) << "3"
            << "ON";
    }
    void closeBoxWritesAndReloads()
    {
        QFETCH(QString, typed);
        QFETCH(bool, tick);
        QFETCH(QByteArray, written);
        QFETCH(QString, reloaded);
        QFETCH(QString, indicatorAfterReload);
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
                 Ini(QByteArray("NUMBER=") + (tick ? "1" : "0") + "\r\nNUMBER2=" + written + "\r\n"));

        m_host->calls.clear();
        QCOMPARE(m_form->get().IntervalText(), reloaded);
        QVERIFY(!m_form->loadedForm()->isVisible());
        QCOMPARE(m_form->get().HangUpChoice(), tick ? 1 : 0);
        QCOMPARE(m_host->indicator, indicatorAfterReload);
    }

    // The new-only choice: read when the object is created, written on closing; a file
    // where it was never on keeps no key for it.
    void newMailOnlyChoice_data()
    {
        QTest::addColumn<QByteArray>("stored"); // NUMBER3's line, or empty
        QTest::addColumn<bool>("checkedAtLoad");
        QTest::addColumn<bool>("click");
        QTest::addColumn<QByteArray>("written"); // NUMBER3's line after closing, or empty
        QTest::newRow("never on: no key, none written") << QByteArray() << false << false << QByteArray();
        QTest::newRow("ticked: written") << QByteArray() << false << true << QByteArray("NUMBER3=1\r\n");
        QTest::newRow("stored 1 comes back ticked")
            << QByteArray("NUMBER3=1\r\n") << true << false << QByteArray("NUMBER3=1\r\n");
        QTest::newRow("cleared: written 0")
            << QByteArray("NUMBER3=1\r\n") << true << true << QByteArray("NUMBER3=0\r\n");
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
    // was typed; whatever stood in the file's place is untouched.
    void failedSaveKeepsTheDialog_data()
    {
        QTest::addColumn<bool>("dataFolder");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no data folder") << false << QString::fromLocal8Bit(std::strerror(ENOENT));
        QTest::newRow("a folder in ini.ini's place") << true << QString::fromLocal8Bit(std::strerror(EISDIR));
    }
    void failedSaveKeepsTheDialog()
    {
        QFETCH(bool, dataFolder);
        QFETCH(QString, reason);
        test::AppFolder app(dataFolder);
        SettingsFiles files(app.path(), app.file(QStringLiteral("vbmail.ini")));
        if (dataFolder) {
            QVERIFY(QDir().mkpath(files.iniPath()));
            QVERIFY(WriteBytes(files.iniPath() + QStringLiteral("/keep"), "kept"));
        }
        FormHolder<SetForm> holder([&] { return new SetForm(files, *m_host); });
        holder.show();
        test::Retype(holder->Text2, QStringLiteral("9"));
        QTest::mouseClick(holder->Check1, Qt::LeftButton);

        test::BoxAnswerer answerer(QMessageBox::Ok);
        QVERIFY(!holder->close());
        QVERIFY2(answerer.SawOneSaveFailure(files.iniPath(), reason), qPrintable(answerer.seen.join(u'\n')));
        QVERIFY(holder.isLoaded());
        QVERIFY(holder->isVisible());
        QCOMPARE(holder->IntervalText(), QStringLiteral("9"));
        QCOMPARE(holder->HangUpChoice(), 1);
        if (dataFolder)
            QCOMPARE(ReadBytes(files.iniPath() + QStringLiteral("/keep")), QByteArray("kept"));

        // Once the file can be written, the same close saves what was kept.
        if (dataFolder)
            QVERIFY(QDir(files.iniPath()).removeRecursively());
        else
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
        QCOMPARE(m_host->text5, QStringLiteral("2"));
    }

    // Only what ini.ini can hold gets into the box.
    void refusesWhatTheFileCannotHold_data()
    {
        QTest::addColumn<QString>("committed");
        QTest::addColumn<QString>("boxAfter");
        QTest::newRow("hangul refused") << QStringLiteral("한") << "7";
        QTest::newRow("emoji refused") << QStringLiteral("😀") << "7";
        QTest::newRow("line break refused") << QStringLiteral("\n1") << "7";
        QTest::newRow("cp932 extension kept") << QStringLiteral("髙") << QStringLiteral("7髙");
        QTest::newRow("wave dash kept") << QStringLiteral("〜") << QStringLiteral("7〜");
    }
    void refusesWhatTheFileCannotHold()
    {
        QFETCH(QString, committed);
        QFETCH(QString, boxAfter);
        QVERIFY(WriteBytes(ini(), Ini("NUMBER2=7\r\n")));
        m_form->show();
        QLineEdit* box = m_form->get().Text2;
        box->setFocus();
        box->end(false);
        test::CommitText(box, committed);
        QCOMPARE(box->text(), boxAfter);
    }

    void layout_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("twips");
        QTest::newRow("Command1") << "Command1"
                                  << "ID/PASS" << QRect(120, 120, 1455, 375);
        QTest::newRow("Command2") << "Command2" << QStringLiteral("POPサーバー")
                                  << QRect(1560, 120, 1455, 375);
        QTest::newRow("Check1") << "Check1"
                                << "" << QRect(120, 600, 255, 255);
        QTest::newRow("Label1") << "Label1" << QStringLiteral("新着がなければ接続を切断する。")
                                << QRect(480, 645, 2535, 255);
        QTest::newRow("Label5") << "Label5" << QStringLiteral("インターバルメールチェック")
                                << QRect(120, 1080, 2775, 375);
        QTest::newRow("Label3")
            << "Label3"
            << QStringLiteral("０以上の数字を入力すると、その間隔で自動的にメールチェックを行います。"
                              "チェックの都度手動で行う場合は０にしておいて下さい。（単位は分です。）")
            << QRect(120, 1440, 2895, 855);
        QTest::newRow("Text2") << "Text2"
                               << "0" << QRect(2040, 2280, 375, 270);
        QTest::newRow("Label2") << "Label2" << QStringLiteral("分") << QRect(2520, 2325, 495, 255);
        QTest::newRow("Check2") << "Check2"
                                << "" << QRect(120, 2745, 255, 255);
        QTest::newRow("Label4") << "Label4" << QStringLiteral("新しいメールだけ知らせる。")
                                << QRect(480, 2790, 2535, 255);
    }
    void layout()
    {
        QFETCH(QString, control);
        QFETCH(QString, text);
        QFETCH(QRect, twips);
        SetForm& form = m_form->get();
        QCOMPARE(form.windowTitle(), QStringLiteral("設定"));
        QCOMPARE(form.size(), TwipsRect(0, 0, 3105, 3060).size());
        QCOMPARE(form.geometry().center(), QGuiApplication::primaryScreen()->availableGeometry().center());
        auto* widget = form.findChild<QWidget*>(control);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), TwipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
        QCOMPARE(ShownText(widget), text);
    }

    void looks()
    {
        SetForm& form = m_form->get();
        QVERIFY(!(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(form.Label1->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(form.Label3->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(form.Label4->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(form.Label5->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(form.Label2->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QVERIFY(form.Label5->font().bold());
        QCOMPARE(form.Label5->font().pointSizeF(), 9.0);
        QVERIFY(form.Label3->wordWrap());

        // What the screen shows: the grey face, the two coloured buttons, the line.
        const QImage image = form.grab().toImage();
        QCOMPARE(image.pixelColor(2, 2), QColor(192, 192, 192));
        const auto inside = [&](QWidget* w) { return w->geometry().topLeft() + QPoint(4, w->height() / 2); };
        QCOMPARE(image.pixelColor(inside(form.Command1)), QColor(255, 128, 0));
        QCOMPARE(image.pixelColor(inside(form.Command2)), QColor(128, 128, 255));
        QCOMPARE(image.pixelColor(QPoint(form.width() / 2, TwipsToPixels(960))), QColor(0, 0, 0));
        QCOMPARE(image.pixelColor(QPoint(form.width() / 2, TwipsToPixels(960) + 2)), QColor(192, 192, 192));
        QCOMPARE(image.pixelColor(QPoint(form.width() / 2, TwipsToPixels(2640))), QColor(0, 0, 0));
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
