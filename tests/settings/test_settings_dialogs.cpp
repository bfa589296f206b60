// The three settings dialogs, driven through their controls: "設定" (its load step, the
// interval handling it drives on the main window, its close step, its life through
// FormHolder), the server dialog "サーバー設定" and the account dialog "ID,PASS"; what every
// dialog shares (dropping edits, failed saves, what a box takes, keys and looks).

#include "platform/Ansi.h"
#include "platform/Fonts.h"
#include "settings/DialogTyping.h"
#include "settings/IdPassForm.h"
#include "settings/OptionForm.h"
#include "settings/SetForm.h"
#include "settings/SettingsFiles.h"
#include "support/BoxAnswerer.h"
#include "support/ReferenceRendering.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QClipboard>
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

// The main window as "設定" sees it: every call noted.
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

// What "設定" tells the main window for an interval: ON with the one-second count, or OFF.
QStringList Applied(bool on, const QString& text)
{
    return {on ? "indicator ON" : "indicator OFF", on ? "check3 1" : "check3 0", "text5 " + text,
            on ? "timer3 1000" : "timer3 0"};
}

QByteArray Ini(const QByteArray& lines)
{
    return "[EXEINI]\r\n" + lines;
}

const QByteArray OldServerFile("SMTP=old.smtp\r\nPOP3=old.pop\r\nMAIL=old@x\r\nAPOP=0\r\n");

template <class F> Form* Load(FormHolder<F>& holder, bool shown)
{
    if (shown)
        holder.show();
    return &holder.get();
}

// What a dialog shows: its boxes' texts and its tick boxes.
QStringList Shown(const QWidget* form)
{
    QStringList shown;
    for (const QLineEdit* box : form->findChildren<QLineEdit*>())
        shown << box->text();
    for (const QCheckBox* box : form->findChildren<QCheckBox*>())
        shown << QString::number(box->isChecked());
    return shown;
}

} // namespace

class TestSettingsDialogs : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<test::AppFolder> m_app;
    std::unique_ptr<SettingsFiles> m_files;
    SharedValues m_values;
    std::unique_ptr<FakeHost> m_host;
    std::unique_ptr<FormHolder<SetForm>> m_set;
    std::unique_ptr<FormHolder<OptionForm>> m_option;
    std::unique_ptr<FormHolder<IdPassForm>> m_idPass;

    QString ini() const { return m_files->iniPath(); }
    QString vbmail() const { return m_files->serverFilePath(); }
    QString idPass() const { return m_files->idPassPath(); }
    QString path(const QString& fileName) const
    {
        return fileName == u"vbmail.ini" ? vbmail() : m_app->dataPath() + u'/' + fileName;
    }

    // The dialog named as its class, loaded (and shown).
    Form* load(const QString& dialog, bool shown = true)
    {
        if (dialog == u"SetForm")
            return Load(*m_set, shown);
        return dialog == u"OptionForm" ? Load(*m_option, shown) : Load(*m_idPass, shown);
    }
    bool isLoaded(const QString& dialog) const
    {
        if (dialog == u"SetForm")
            return m_set->isLoaded();
        return dialog == u"OptionForm" ? m_option->isLoaded() : m_idPass->isLoaded();
    }
    // The program-wide values and the three files, as one text.
    QByteArray state() const
    {
        const QStringList values{m_values.SmtpServer,      m_values.PopServer,
                                 m_values.MailAddress,     m_values.AccountId,
                                 m_values.AccountPassword, QString::number(m_values.ApopFlag)};
        return values.join(u'|').toUtf8() + '|' + ReadBytes(vbmail()) + '|' + ReadBytes(ini()) + '|' +
               ReadBytes(idPass());
    }

private slots:
    void initTestCase() { InstallFontSubstitutions(); }
    void init()
    {
        m_app = std::make_unique<test::AppFolder>();
        m_files = std::make_unique<SettingsFiles>(m_app->path(), m_app->file(QStringLiteral("vbmail.ini")));
        m_values = SharedValues{};
        QVERIFY(WriteBytes(vbmail(), OldServerFile));
        m_files->LoadServerSettings(m_values);
        m_host = std::make_unique<FakeHost>();
        m_set = std::make_unique<FormHolder<SetForm>>([this] { return new SetForm(*m_files, *m_host); });
        m_option =
            std::make_unique<FormHolder<OptionForm>>([this] { return new OptionForm(m_values, *m_files); });
        m_idPass =
            std::make_unique<FormHolder<IdPassForm>>([this] { return new IdPassForm(m_values, *m_files); });
    }
    void cleanup()
    {
        m_idPass.reset();
        m_option.reset();
        m_set.reset();
        m_host.reset();
        m_files.reset();
        m_app.reset();
    }

    // "設定": creating the object reads both options and applies the interval; only a zero
    // interval is written back at once.
    void setFormLoadStep_data()
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
    void setFormLoadStep()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, checked);
        QFETCH(QString, interval);
        QFETCH(QStringList, calls);
        QFETCH(QByteArray, fileAfter);
        if (!file.isEmpty())
            QVERIFY(WriteBytes(ini(), file));
        SetForm& form = m_set->get();
        QVERIFY(!form.isVisible()); // loading does not show it
        QCOMPARE(form.HangUpChoice(), checked ? 1 : 0);
        QCOMPARE(form.IntervalText(), interval);
        QCOMPARE(m_host->calls, calls);
        QCOMPARE(ReadBytes(ini()), fileAfter);
    }

    // Typing into the interval box, as the user does. Before each row: stored 7 (ON).
    void setFormTyping_data()
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
    void setFormTyping()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, calls);
        QFETCH(QByteArray, fileAfter);
        QVERIFY(WriteBytes(ini(), Ini("NUMBER2=7\r\n")));
        m_set->show();
        m_host->calls.clear();
        test::Retype(m_set->get().Text2, typed);
        QCOMPARE(m_set->get().IntervalText(), typed.isEmpty() ? QStringLiteral("0") : typed);
        QCOMPARE(m_host->calls, calls);
        QCOMPARE(ReadBytes(ini()), fileAfter);
    }

    // Setting the value from outside runs the same handling; setting the same text again
    // changes nothing and so runs nothing.
    void setFormValuesFromOutside()
    {
        SetForm& form = m_set->get();
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
    void setFormCloseBoxWritesAndReloads_data()
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
    void setFormCloseBoxWritesAndReloads()
    {
        QFETCH(QString, typed);
        QFETCH(bool, tick);
        QFETCH(QString, reloaded);
        QFETCH(QStringList, reloadCalls);
        m_set->show();
        SetForm* form = m_set->loadedForm();
        QVERIFY(QFile::remove(ini())); // written by the load step; gone, the close step's order shows
        test::Retype(form->Text2, typed);
        if (tick)
            QTest::mouseClick(form->Check1, Qt::LeftButton);
        QCOMPARE(form->HangUpChoice(), tick ? 1 : 0);

        QVERIFY(form->close());
        QVERIFY(!m_set->isLoaded());
        QCOMPARE(ReadBytes(ini()),
                 Ini(QByteArray("NUMBER=") + (tick ? "1" : "0") + "\r\nNUMBER2=" + ToAnsi(typed) + "\r\n"));

        m_host->calls.clear();
        QCOMPARE(m_set->get().IntervalText(), reloaded);
        QVERIFY(!m_set->loadedForm()->isVisible());
        QCOMPARE(m_set->get().HangUpChoice(), tick ? 1 : 0);
        QCOMPARE(m_host->calls, reloadCalls);
    }

    // The new-only choice: read when the object is created, written on closing; a file
    // where it was never on keeps no key for it.
    void setFormNewMailOnlyChoice_data()
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
    void setFormNewMailOnlyChoice()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, checkedAtLoad);
        QFETCH(bool, click);
        QFETCH(QByteArray, written);
        QVERIFY(WriteBytes(ini(), Ini("NUMBER=0\r\nNUMBER2=7\r\n" + stored)));
        m_set->show();
        SetForm* form = m_set->loadedForm();
        QCOMPARE(form->NewMailOnlyChoice(), checkedAtLoad ? 1 : 0);
        if (click)
            QTest::mouseClick(form->Check2, Qt::LeftButton);
        QCOMPARE(form->NewMailOnlyChoice(), checkedAtLoad != click ? 1 : 0);
        QCOMPARE(form->HangUpChoice(), 0);
        QVERIFY(form->close());
        QCOMPARE(ReadBytes(ini()), Ini("NUMBER=0\r\nNUMBER2=7\r\n" + written));
        QCOMPARE(m_set->get().NewMailOnlyChoice(), checkedAtLoad != click ? 1 : 0);
    }

    // unload() is the program's discard: no close step, nothing written.
    void setFormUnloadSkipsTheCloseStep()
    {
        QVERIFY(WriteBytes(ini(), Ini("NUMBER=0\r\nNUMBER2=7\r\n")));
        m_set->show();
        test::Retype(m_set->get().Text2, QStringLiteral("9"));
        m_set->unload();
        QVERIFY(!m_set->isLoaded());
        QCOMPARE(ReadBytes(ini()), Ini("NUMBER=0\r\nNUMBER2=7\r\n"));
        QCOMPARE(m_set->get().IntervalText(), QStringLiteral("7"));
    }

    // The two buttons open their dialogs and this one stays open; Esc and Enter close
    // nothing (there is no OK or cancel button).
    void setFormButtonsAndKeys()
    {
        m_set->show();
        SetForm* form = m_set->loadedForm();
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QCOMPARE(m_host->calls.mid(m_host->calls.size() - 2),
                 (QStringList{"show IdPassForm", "show OptionForm"}));
        form->Text2->setFocus();
        QTest::keyClick(form->Text2, Qt::Key_Escape);
        QTest::keyClick(form->Text2, Qt::Key_Return);
        QVERIFY(m_set->isLoaded());
        QVERIFY(form->isVisible());
    }

    // "サーバー設定": "設定", clicked or pressed with Enter while it has the focus, takes the
    // fields as typed.
    void serverConfirm_data()
    {
        QTest::addColumn<QString>("smtp");
        QTest::addColumn<QString>("pop");
        QTest::addColumn<QString>("mail");
        QTest::addColumn<bool>("apop");
        QTest::addColumn<bool>("byEnter");
        QTest::newRow("APOP ticked, blanks kept") << " smtp "
                                                  << " pop.example "
                                                  << "me@example" << true << false;
        QTest::newRow("empty fields accepted, by Enter") << ""
                                                         << ""
                                                         << "" << false << true;
    }
    void serverConfirm()
    {
        QFETCH(QString, smtp);
        QFETCH(QString, pop);
        QFETCH(QString, mail);
        QFETCH(bool, apop);
        QFETCH(bool, byEnter);
        m_option->show();
        OptionForm* form = m_option->loadedForm();
        test::Retype(form->SmtpText, smtp);
        test::Retype(form->Pop3Text, pop);
        test::Retype(form->MailText, mail);
        if (apop)
            QTest::mouseClick(form->ApopCheck, Qt::LeftButton);
        if (byEnter) {
            form->OkCommand->setFocus();
            QTest::keyClick(form->OkCommand, Qt::Key_Return);
        } else {
            QTest::mouseClick(form->OkCommand, Qt::LeftButton);
        }
        QVERIFY(!m_option->isLoaded());
        QCOMPARE(m_values.SmtpServer, smtp);
        QCOMPARE(m_values.PopServer, pop);
        QCOMPARE(m_values.MailAddress, mail);
        QCOMPARE(int(m_values.ApopFlag), apop ? 1 : 0);
        QCOMPARE(ReadBytes(vbmail()), "SMTP=" + smtp.toLatin1() + "\r\nPOP3=" + pop.toLatin1() + "\r\nMAIL=" +
                                          mail.toLatin1() + "\r\nAPOP=" + (apop ? "1" : "0") + "\r\n");

        // Opened again, it shows what was confirmed.
        m_option->show();
        QCOMPARE(m_option->get().Pop3Text->text(), pop);
        QCOMPARE(m_option->get().ApopCheck->isChecked(), apop);
    }

    // "ID,PASS": confirming takes the values as typed; the save choice decides what the file
    // keeps.
    void accountConfirm_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<bool>("byEnter"); // in the password box
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("saved, OK clicked") << true << false << Ini("NAME=new\r\nNAME2=newpw\r\nNAME3=1\r\n");
        QTest::newRow("not saved, Enter") << false << true << Ini("NAME=old\r\nNAME2=oldpw\r\nNAME3=0\r\n");
    }
    void accountConfirm()
    {
        QFETCH(bool, save);
        QFETCH(bool, byEnter);
        QFETCH(QByteArray, after);
        QVERIFY(WriteBytes(idPass(), Ini("NAME=old\r\nNAME2=oldpw\r\nNAME3=1\r\n")));
        m_idPass->show();
        IdPassForm* form = m_idPass->loadedForm();
        test::Retype(form->IdText, QStringLiteral("new"));
        test::Retype(form->PassText, QStringLiteral("newpw"));
        if (save)
            QTest::mouseClick(form->Check1, Qt::LeftButton);
        if (byEnter)
            QTest::keyClick(form->PassText, Qt::Key_Return);
        else
            QTest::mouseClick(form->OKCommand, Qt::LeftButton);
        QVERIFY(!m_idPass->isLoaded());
        QCOMPARE(m_values.AccountId, QStringLiteral("new"));
        QCOMPARE(m_values.AccountPassword, QStringLiteral("newpw"));
        QCOMPARE(ReadBytes(idPass()), after);
    }

    // Whatever is typed or loaded, the password box shows one "*" per character and gives
    // nothing away through the clipboard.
    void passwordNeverShown()
    {
        QVERIFY(WriteBytes(idPass(), Ini("NAME=u\r\nNAME2=loaded\r\n")));
        m_idPass->show();
        QLineEdit* box = m_idPass->loadedForm()->PassText;
        QCOMPARE(box->text(), QStringLiteral("loaded"));
        QCOMPARE(box->displayText(), QStringLiteral("******"));
        test::Retype(box, QString());
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("s3 t!"));
        test::CommitText(box, QStringLiteral("秘密"));
        QCOMPARE(box->text(), QStringLiteral("s3 t!秘密"));
        QCOMPARE(box->displayText(), QStringLiteral("*******"));
        QApplication::clipboard()->setText(QStringLiteral("before"));
        box->selectAll();
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
    }

    // Every way out of the two dialogs but their confirming one drops every edit: the values
    // and the files stay as they were, and the dialog opens again as it was loaded. Enter in a
    // box does nothing in "サーバー設定", which has no default button.
    void discard_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("how");
        for (const char* dialog : {"OptionForm", "IdPassForm"}) {
            for (const char* how : {"CancelCommand", "Esc", "close box"})
                QTest::addRow("%s, %s", dialog, how) << dialog << how;
        }
        QTest::newRow("OptionForm, Enter in a box, then Esc") << "OptionForm"
                                                              << "Enter in a box";
        QTest::newRow("IdPassForm, Enter with Cancel focused") << "IdPassForm"
                                                               << "Enter on CancelCommand";
    }
    void discard()
    {
        QFETCH(QString, dialog);
        QFETCH(QString, how);
        QVERIFY(WriteBytes(idPass(), Ini("NAME=old\r\nNAME2=oldpw\r\nNAME3=1\r\n")));
        m_values.AccountId = QStringLiteral("kept");
        m_values.AccountPassword = QStringLiteral("keptpw");
        const QByteArray before = state();
        Form* form = load(dialog);
        const QStringList loaded = Shown(form);
        auto* box = form->findChild<QLineEdit*>();
        auto* cancel = form->findChild<QPushButton*>(QStringLiteral("CancelCommand"));
        for (QLineEdit* each : form->findChildren<QLineEdit*>())
            test::Retype(each, QStringLiteral("新"));
        for (QCheckBox* each : form->findChildren<QCheckBox*>())
            QTest::mouseClick(each, Qt::LeftButton);
        QVERIFY(Shown(form) != loaded);
        if (how == u"CancelCommand") {
            QTest::mouseClick(cancel, Qt::LeftButton);
        } else if (how == u"Esc") {
            QTest::keyClick(box, Qt::Key_Escape);
        } else if (how == u"close box") {
            QVERIFY(form->close());
        } else if (how == u"Enter in a box") {
            QTest::keyClick(box, Qt::Key_Return);
            QVERIFY(isLoaded(dialog));
            QCOMPARE(state(), before);
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            cancel->setFocus();
            QTest::keyClick(cancel, Qt::Key_Return);
        }
        QVERIFY(!isLoaded(dialog));
        QCOMPARE(state(), before);
        QCOMPARE(Shown(load(dialog)), loaded);
    }

    // A confirm whose save fails says which file and why, and the dialog stays open with
    // what was typed; once the file can be written, the same confirm saves what was kept.
    void failedSaveKeepsTheDialog_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("confirm"); // the button; empty: the close box
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("error"); // ENOENT: no data folder; EISDIR: a folder in the file's place
        QTest::newRow("SetForm") << "SetForm"
                                 << ""
                                 << "ini.ini" << ENOENT;
        QTest::newRow("OptionForm") << "OptionForm"
                                    << "OkCommand"
                                    << "vbmail.ini" << EISDIR;
        QTest::newRow("IdPassForm") << "IdPassForm"
                                    << "OKCommand"
                                    << "iniIdPass.ini" << EISDIR;
    }
    void failedSaveKeepsTheDialog()
    {
        QFETCH(QString, dialog);
        QFETCH(QString, confirm);
        QFETCH(QString, file);
        QFETCH(int, error);
        const QString target = path(file);
        if (error == ENOENT)
            QVERIFY(QDir(m_app->dataPath()).removeRecursively());
        Form* form = load(dialog);
        if (error == EISDIR) {
            QFile::remove(target);
            QVERIFY(QDir().mkpath(target));
        }
        auto* box = form->findChild<QLineEdit*>();
        test::Retype(box, QStringLiteral("9"));
        QTest::mouseClick(form->findChild<QCheckBox*>(), Qt::LeftButton);
        const auto confirmed = [&] {
            if (confirm.isEmpty())
                form->close();
            else
                QTest::mouseClick(form->findChild<QPushButton*>(confirm), Qt::LeftButton);
            return !isLoaded(dialog);
        };

        test::BoxAnswerer answerer(QMessageBox::Ok);
        QVERIFY(!confirmed());
        QVERIFY2(answerer.SawOneSaveFailure(target, QString::fromLocal8Bit(std::strerror(error))),
                 qPrintable(answerer.seen.join(u'\n')));
        QVERIFY(form->isVisible());
        QCOMPARE(box->text(), QStringLiteral("9"));

        QVERIFY(error == ENOENT ? QDir().mkpath(m_app->dataPath()) : QDir(target).removeRecursively());
        QVERIFY(confirmed());
        QCOMPARE(answerer.seen.size(), 1);
        const QByteArray saved = ReadBytes(target); // the typed 9 and the ticked box
        QVERIFY2(saved.contains("=9\r\n") && saved.contains("=1\r\n"), saved.constData());
    }

    // Every box takes only what its file can hold.
    void refusesWhatTheFileCannotHold()
    {
        for (const char* dialog : {"SetForm", "OptionForm", "IdPassForm"}) {
            for (QLineEdit* box : load(dialog)->findChildren<QLineEdit*>()) {
                const QString before = box->text();
                test::CommitText(box, QStringLiteral("\r\nK=1"));
                QCOMPARE(box->text(), before);
            }
        }
    }

    // How each looks, loaded from files with the hang-up choice on and a 15-minute interval,
    // a hand-edited APOP value of 5 (shown as used) and a saved account (the password as
    // stars, the save choice clear whatever the file says).
    void looks_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("title");
        QTest::newRow("SetForm") << "SetForm" << QStringLiteral("設定");
        QTest::newRow("OptionForm") << "OptionForm" << QStringLiteral("サーバー設定");
        QTest::newRow("IdPassForm") << "IdPassForm" << QStringLiteral("ID,PASS");
    }
    void looks()
    {
        QFETCH(QString, dialog);
        QFETCH(QString, title);
        QVERIFY(WriteBytes(ini(), Ini("NUMBER=1\r\nNUMBER2=15\r\n")));
        QVERIFY(WriteBytes(idPass(), Ini("NAME=taro\r\nNAME2=secret\r\nNAME3=1\r\n")));
        m_values.ApopFlag = 5;
        Form* form = load(dialog, false);
        const QString difference = test::CompareWithReference(form, QStringLiteral("settings"), dialog);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QCOMPARE(form->windowTitle(), title);
        QVERIFY(!(form->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        // Only the server dialog stays above other windows; "設定" opens centred on the screen.
        QCOMPARE(bool(form->windowFlags() & Qt::WindowStaysOnTopHint), dialog == u"OptionForm");
        if (dialog == u"SetForm")
            QCOMPARE(form->geometry().center(),
                     QGuiApplication::primaryScreen()->availableGeometry().center());
    }

    // The Tab key's order from the first control round to it again, and in "サーバー設定" each
    // caption's access key reaching the box below it.
    void keyboard_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("SetForm") << "SetForm" << QStringList{"Command2", "Command1", "Check1",
                                                             "Text2",    "Check2",   "Command2"};
        QTest::newRow("OptionForm") << "OptionForm"
                                    << QStringList{"SmtpText",      "Pop3Text", "ApopCheck", "OkCommand",
                                                   "CancelCommand", "MailText", "SmtpText"};
        QTest::newRow("IdPassForm") << "IdPassForm" << QStringList{"IdText",        "PassText", "OKCommand",
                                                                   "CancelCommand", "Check1",   "IdText"};
    }
    void keyboard()
    {
        QFETCH(QString, dialog);
        QFETCH(QStringList, order);
        Form* form = load(dialog);
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        form->findChild<QWidget*>(order.first())->setFocus(Qt::TabFocusReason);
        QStringList walked;
        for (qsizetype i = 0; i < order.size(); ++i) {
            QWidget* focused = QApplication::focusWidget();
            QVERIFY(focused);
            walked << focused->objectName();
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        QCOMPARE(walked, order);
        if (dialog == u"OptionForm") {
            QTest::keyClick(form, Qt::Key_M, Qt::AltModifier);
            QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("MailText"));
            QTest::keyClick(form, Qt::Key_P, Qt::AltModifier);
            QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Pop3Text"));
        }
    }
};

QTEST_MAIN(TestSettingsDialogs)
#include "test_settings_dialogs.moc"
