// The settings: the files (vbmail.ini, ini.ini, iniIdPass.ini, trust.ini) and the three
// dialogs driven through their controls: "設定" (its load step, the interval handling it
// drives on the main window, its close step, its life through FormHolder), the server dialog
// "サーバー設定" and the account dialog "ID,PASS"; what every dialog shares (dropping edits,
// failed saves, what a box takes, keys and looks).

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
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

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

// An application folder with its settings files, the program-wide values read from a
// vbmail.ini in the folder, the main window as "設定" sees it, and the three dialogs.
struct Rig
{
    test::AppFolder app;
    SettingsFiles files{app.path(), app.file(QStringLiteral("vbmail.ini"))};
    SharedValues values;
    FakeHost host;
    FormHolder<SetForm> set{[this] { return new SetForm(files, host); }};
    FormHolder<OptionForm> option{[this] { return new OptionForm(values, files); }};
    FormHolder<IdPassForm> idPass{[this] { return new IdPassForm(values, files); }};
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

// A file's permission bits, or -1 when it cannot be read.
int Mode(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

template <class F> Form* Load(FormHolder<F>& holder, bool shown)
{
    if (shown)
        holder.show();
    return &holder.get();
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<Rig> m;

    QString ini() const { return m->files.iniPath(); }
    QString vbmail() const { return m->files.serverFilePath(); }
    QString idPass() const { return m->files.idPassPath(); }

    // The dialog named as its class, loaded (and shown).
    Form* load(const QString& dialog, bool shown = true)
    {
        if (dialog == u"SetForm")
            return Load(m->set, shown);
        return dialog == u"OptionForm" ? Load(m->option, shown) : Load(m->idPass, shown);
    }
    bool isLoaded(const QString& dialog) const
    {
        if (dialog == u"SetForm")
            return m->set.isLoaded();
        return dialog == u"OptionForm" ? m->option.isLoaded() : m->idPass.isLoaded();
    }
    // The program-wide values, as "SMTP|POP3|MAIL|APOP|ID|password".
    QString values() const
    {
        const SharedValues& v = m->values;
        return QStringList{v.SmtpServer, v.PopServer,      v.MailAddress, QString::number(v.ApopFlag),
                           v.AccountId,  v.AccountPassword}
            .join(u'|');
    }
    // The values and the three files, as one text.
    QByteArray state() const
    {
        return values().toUtf8() + '|' + ReadBytes(vbmail()) + '|' + ReadBytes(ini()) + '|' +
               ReadBytes(idPass());
    }

private slots:
    void initTestCase() { InstallFontSubstitutions(); }
    void init()
    {
        m = std::make_unique<Rig>();
        QVERIFY(WriteBytes(vbmail(), "SMTP=old.smtp\r\nPOP3=old.pop\r\nMAIL=old@x\r\nAPOP=0\r\n"));
        m->files.LoadServerSettings(m->values);
    }
    void cleanup() { m.reset(); }

    // vbmail.ini, unless told otherwise, is read from the working folder, not the program's.
    void serverFileInTheWorkingFolder()
    {
        QVERIFY(QDir(m->app.path()).mkdir(QStringLiteral("work")));
        const QString old = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m->app.file(QStringLiteral("work"))));
        SharedValues values;
        SettingsFiles(m->app.path()).LoadServerSettings(values);
        QDir::setCurrent(old);
        QVERIFY(values.PopServer.isEmpty());
    }

    // What is read, as "SMTP|POP3|MAIL|APOP"; before reading: "keep" and 7.
    void loadServerSettings_data()
    {
        QTest::addColumn<QByteArray>("file"); // null: none
        QTest::addColumn<QString>("read");
        const QString a(100, QChar(0x3042));
        QTest::newRow("no file") << QByteArray() << "keep|keep|keep|7";
        QTest::newRow("as written") << QByteArray("SMTP=s\r\nPOP3=p\r\nMAIL=m@x\r\nAPOP=1\r\n")
                                    << "s|p|m@x|1";
        QTest::newRow("other order, extra and blank lines")
            << QByteArray("\r\nAPOP=0\r\nfoo\r\nMAIL=m\r\n\r\nPOP3=p\r\nSMTP=s\r\n") << "s|p|m|0";
        QTest::newRow("lower-case key ignored") << QByteArray("smtp=x\r\nPOP3=p\r\n") << "keep|p|keep|7";
        QTest::newRow("later line wins") << QByteArray("POP3=a\r\nPOP3=b\r\n") << "keep|b|keep|7";
        QTest::newRow("blanks kept") << QByteArray("POP3= p \r\n") << "keep| p |keep|7";
        QTest::newRow("empty value") << QByteArray("POP3=\r\nAPOP=\r\n") << "keep||keep|0";
        QTest::newRow("LF line ends") << QByteArray("POP3=p\nMAIL=m\n") << "keep|p|m|7";
        QTest::newRow("cp932 text") << "MAIL=" + ToAnsi(QStringLiteral("髙橋①@例"))
                                    << QStringLiteral("keep|keep|髙橋①@例|7");
        QTest::newRow("100 characters kept, counted as characters")
            << "POP3=" + ToAnsi(a + QStringLiteral("ああ")) << QStringLiteral("keep|%1|keep|7").arg(a);
    }
    void loadServerSettings()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, read);
        QVERIFY(QFile::remove(vbmail()));
        if (!file.isNull())
            QVERIFY(WriteBytes(vbmail(), file));
        SharedValues v;
        v.SmtpServer = v.PopServer = v.MailAddress = QStringLiteral("keep");
        v.ApopFlag = 7;
        m->files.LoadServerSettings(v);
        QCOMPARE(
            QStringList({v.SmtpServer, v.PopServer, v.MailAddress, QString::number(v.ApopFlag)}).join(u'|'),
            read);
    }

    void missingDataFolderReadsDefaults()
    {
        test::AppFolder bare(false);
        SettingsFiles files(bare.path());
        files.WriteIntervalText(QStringLiteral("10"));
        files.WriteHangUpChoice(1);
        files.StoreAccount(QStringLiteral("id"), QStringLiteral("pw"), true);
        QCOMPARE(files.ReadIntervalMinutes(), 0);
        QCOMPARE(files.ReadHangUpChoice(), 0);
        QCOMPARE(files.LoadSavedAccount(), std::make_pair(QString(), QString()));
        QVERIFY(!QDir(bare.path()).exists(QStringLiteral("★MailData")));
    }

    // Saving writes the three keys into a file only its owner can read (whatever it was
    // before); not saving keeps what was saved and notes the choice; a long password reads
    // back cut to 255 bytes.
    void accountFile()
    {
        QVERIFY(WriteBytes(idPass(), "[EXEINI]\r\n"));
        QCOMPARE(::chmod(QFile::encodeName(idPass()).constData(), 0604), 0);
        const QByteArray saved = "[EXEINI]\r\nNAME=taro\r\nNAME2=" + ToAnsi(QStringLiteral("p@ss 語"));
        m->files.StoreAccount(QStringLiteral("taro"), QStringLiteral("p@ss 語"), true);
        QCOMPARE(ReadBytes(idPass()), saved + "\r\nNAME3=1\r\n");
        QCOMPARE(Mode(idPass()), 0600);
        m->files.StoreAccount(QStringLiteral("other"), QStringLiteral("other"), false);
        QCOMPARE(ReadBytes(idPass()), saved + "\r\nNAME3=0\r\n");
        QCOMPARE(m->files.LoadSavedAccount(),
                 std::make_pair(QStringLiteral("taro"), QStringLiteral("p@ss 語")));

        m->files.StoreAccount(QStringLiteral("id"), QString(300, u'x'), true);
        QCOMPARE(m->files.LoadSavedAccount().second, QString(255, u'x'));
    }

    // A hand-made account file others could read is made owner-only when read, with one
    // line on standard error that names the file and holds no secret.
    void readableAccountFileIsTightened_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("tightened");
        QTest::newRow("0660") << 0660 << 0600;
        QTest::newRow("0400 stays") << 0400 << 0400;
    }
    void readableAccountFileIsTightened()
    {
        QFETCH(int, mode);
        QFETCH(int, tightened);
        QVERIFY(WriteBytes(idPass(), "[EXEINI]\r\nNAME=taro\r\nNAME2=hunter2\r\n"));
        QCOMPARE(::chmod(QFile::encodeName(idPass()).constData(), mode_t(mode)), 0);
        test::StderrCapture capture;
        QCOMPARE(m->files.LoadSavedAccount(),
                 std::make_pair(QStringLiteral("taro"), QStringLiteral("hunter2")));
        const QByteArray said = capture.take();
        QCOMPARE(Mode(idPass()), tightened);
        QCOMPARE(said.count('\n'), mode == tightened ? 0 : 1);
        if (mode != tightened)
            QVERIFY2(said.contains(QFile::encodeName(idPass())) && said.contains("owner only"),
                     said.constData());
        QVERIFY(!said.contains("hunter2"));
    }

    // The certificate a user trusts is kept per server in an owner-only file; a new choice
    // replaces the old one, and damaged values read as none.
    void trustedCertificates()
    {
        SettingsFiles& files = m->files;
        const QByteArray one(32, '\x11');
        const QByteArray two(32, '\x22');
        QCOMPARE(files.TrustedCertificate(QStringLiteral("mail.example.jp:110")), QByteArray());
        QVERIFY(files.TrustCertificate(QStringLiteral("mail.example.jp:110"), one));
        QVERIFY(files.TrustCertificate(QStringLiteral("[::1]:995"), two));
        QCOMPARE(files.TrustedCertificate(QStringLiteral("mail.example.jp:110")), one);
        QCOMPARE(files.TrustedCertificate(QStringLiteral("[::1]:995")), two);
        QCOMPARE(files.TrustedCertificate(QStringLiteral("mail.example.jp:995")), QByteArray());
        QVERIFY(files.TrustCertificate(QStringLiteral("mail.example.jp:110"), two));
        QCOMPARE(files.TrustedCertificate(QStringLiteral("mail.example.jp:110")), two);
        QVERIFY(!files.TrustCertificate(QStringLiteral("a=b:110"), one));
        QVERIFY(!files.TrustCertificate(QStringLiteral("mail.example.jp:110"), QByteArray(5, 'x')));
        QCOMPARE(Mode(files.trustPath()), 0600);

        QVERIFY(WriteBytes(files.trustPath(), "[CERTIFICATES]\r\nbad:110=12zz\r\nshort:110=1122\r\n"));
        QCOMPARE(files.TrustedCertificate(QStringLiteral("bad:110")), QByteArray());
        QCOMPARE(files.TrustedCertificate(QStringLiteral("short:110")), QByteArray());
    }

    // "設定": creating the object reads both options and applies the interval, and only a
    // zero interval is written back at once; typing into the interval box, as the user does,
    // runs the same handling.
    void setFormInterval_data()
    {
        QTest::addColumn<QByteArray>("file"); // null: no ini.ini
        QTest::addColumn<QString>("typed");   // after loading, over the box's text; null: nothing
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QStringList>("calls"); // of the load step, or of the typing
        QTest::addColumn<QByteArray>("fileAfter");
        const QByteArray seven = Ini("NUMBER2=7\r\n");
        QTest::newRow("first start: no file") << QByteArray() << QString() << false << QStringLiteral("0")
                                              << Applied(false, "0") << Ini("NUMBER2=0\r\n");
        QTest::newRow("stored 3, box ticked")
            << Ini("NUMBER=1\r\nNUMBER2=3\r\n") << QString() << true << QStringLiteral("3")
            << Applied(true, "3") << Ini("NUMBER=1\r\nNUMBER2=3\r\n");
        QTest::newRow("NUMBER 2 leaves the box clear")
            << Ini("NUMBER=2\r\nNUMBER2=3\r\n") << QString() << false << QStringLiteral("3")
            << Applied(true, "3") << Ini("NUMBER=2\r\nNUMBER2=3\r\n");
        QTest::newRow("negative changes nothing")
            << Ini("NUMBER2=-3\r\n") << QString() << false << QStringLiteral("-3") << QStringList{}
            << Ini("NUMBER2=-3\r\n");
        QTest::newRow("cleared: 0, written at once")
            << seven << "" << false << QStringLiteral("0") << Applied(false, "0") << Ini("NUMBER2=0\r\n");
        QTest::newRow("10 typed: ON, nothing written")
            << seven << "10" << false << QStringLiteral("10") << Applied(true, "10") << seven;
        QTest::newRow("abc typed: 0, written as typed") << seven << "abc" << false << QStringLiteral("abc")
                                                        << Applied(false, "abc") << Ini("NUMBER2=abc\r\n");
    }
    void setFormInterval()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, typed);
        QFETCH(bool, checked);
        QFETCH(QString, interval);
        QFETCH(QStringList, calls);
        QFETCH(QByteArray, fileAfter);
        if (!file.isNull())
            QVERIFY(WriteBytes(ini(), file));
        SetForm& form = m->set.get();
        QVERIFY(!form.isVisible()); // loading does not show it
        if (!typed.isNull()) {
            m->set.show();
            m->host.calls.clear();
            test::Retype(form.Text2, typed);
        }
        QCOMPARE(form.HangUpChoice(), checked ? 1 : 0);
        QCOMPARE(form.IntervalText(), interval);
        QCOMPARE(m->host.calls, calls);
        QCOMPARE(ReadBytes(ini()), fileAfter);
    }

    // A hang-up choice set from outside other than 1 or 0 changes nothing.
    void setFormHangUpChoiceFromOutside()
    {
        SetForm& form = m->set.get();
        form.SetHangUpChoice(1);
        QCOMPARE(form.HangUpChoice(), 1);
        form.SetHangUpChoice(7); // neither 1 nor 0: unchanged
        QCOMPARE(form.HangUpChoice(), 1);
    }

    // The close box writes NUMBER, then NUMBER2, and discards the object; unload() is the
    // program's discard: no close step, nothing written.
    void setFormClosing_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("tick");
        QTest::addColumn<bool>("unload");
        QTest::newRow("12, ticked") << "12" << true << false;
        QTest::newRow("Japanese text in cp932") << QStringLiteral("3分毎") << false << false;
        QTest::newRow("unloaded: nothing written") << "9" << true << true;
    }
    void setFormClosing()
    {
        QFETCH(QString, typed);
        QFETCH(bool, tick);
        QFETCH(bool, unload);
        m->set.show();
        SetForm* form = m->set.loadedForm();
        QVERIFY(QFile::remove(ini())); // written by the load step; gone, the close step's order shows
        test::Retype(form->Text2, typed);
        if (tick)
            QTest::mouseClick(form->Check1, Qt::LeftButton);
        QCOMPARE(form->HangUpChoice(), tick ? 1 : 0);
        if (unload)
            m->set.unload();
        else
            QVERIFY(form->close());
        QVERIFY(!m->set.isLoaded());
        QCOMPARE(ReadBytes(ini()), unload ? QByteArray()
                                          : Ini(QByteArray("NUMBER=") + (tick ? "1" : "0") +
                                                "\r\nNUMBER2=" + ToAnsi(typed) + "\r\n"));
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
        m->set.show();
        SetForm* form = m->set.loadedForm();
        QCOMPARE(form->NewMailOnlyChoice(), checkedAtLoad ? 1 : 0);
        if (click)
            QTest::mouseClick(form->Check2, Qt::LeftButton);
        QCOMPARE(form->NewMailOnlyChoice(), checkedAtLoad != click ? 1 : 0);
        QVERIFY(form->close());
        QCOMPARE(ReadBytes(ini()), Ini("NUMBER=0\r\nNUMBER2=7\r\n" + written));
        QCOMPARE(m->set.get().NewMailOnlyChoice(), checkedAtLoad != click ? 1 : 0);
    }

    // The two buttons open their dialogs and this one stays open; Esc and Enter close
    // nothing (there is no OK or cancel button).
    void setFormButtonsAndKeys()
    {
        m->set.show();
        SetForm* form = m->set.loadedForm();
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QCOMPARE(m->host.calls.mid(m->host.calls.size() - 2),
                 (QStringList{"show IdPassForm", "show OptionForm"}));
        form->Text2->setFocus();
        QTest::keyClick(form->Text2, Qt::Key_Escape);
        QTest::keyClick(form->Text2, Qt::Key_Return);
        QVERIFY(m->set.isLoaded());
        QVERIFY(form->isVisible());
    }

    // The password box shows one "*" per character (typing and the clipboard in this echo
    // mode are the toolkit's own).
    void passwordNeverShown()
    {
        QVERIFY(WriteBytes(idPass(), Ini("NAME=u\r\nNAME2=loaded\r\n")));
        m->idPass.show();
        QLineEdit* box = m->idPass.loadedForm()->PassText;
        QCOMPARE(box->text(), QStringLiteral("loaded"));
        QCOMPARE(box->displayText(), QStringLiteral("******"));
    }

    // Every way out of the two dialogs. The confirming ones take the boxes as typed:
    // "サーバー設定" with "設定" clicked or pressed with Enter while it has the focus, into the
    // values and vbmail.ini; "ID,PASS" with "OK" or Enter, into the values, and into
    // iniIdPass.ini as far as the save choice says. Every other way drops every edit: the
    // values and the files stay as they were. Enter in a box does nothing in "サーバー設定",
    // which has no default button.
    void waysOut_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("how");       // a button clicked, Esc, the close box, or Enter in a control
        QTest::addColumn<QStringList>("typed"); // into the boxes, in their order
        QTest::addColumn<bool>("tick");         // the dialog's tick box
        QTest::addColumn<QString>("values");    // afterwards; null: the values and files as before
        QTest::addColumn<QByteArray>("file");   // vbmail.ini or iniIdPass.ini afterwards
        const QStringList server{" smtp ", " pop.example ", "me@x"};
        const QStringList account{"new", "newpw"};
        QTest::newRow("server: APOP ticked, blanks kept")
            << QStringLiteral("OptionForm") << QStringLiteral("OkCommand") << server << true
            << QStringLiteral(" smtp | pop.example |me@x|1||")
            << QByteArray("SMTP= smtp \r\nPOP3= pop.example \r\nMAIL=me@x\r\nAPOP=1\r\n");
        QTest::newRow("server: empty fields accepted, by Enter")
            << QStringLiteral("OptionForm") << QStringLiteral("Enter in OkCommand") << QStringList{"", "", ""}
            << false << QStringLiteral("|||0||") << QByteArray("SMTP=\r\nPOP3=\r\nMAIL=\r\nAPOP=0\r\n");
        QTest::newRow("account: saved, OK clicked")
            << QStringLiteral("IdPassForm") << QStringLiteral("OKCommand") << account << true
            << QStringLiteral("old.smtp|old.pop|old@x|0|new|newpw")
            << Ini("NAME=new\r\nNAME2=newpw\r\nNAME3=1\r\n");
        QTest::newRow("account: not saved, Enter")
            << QStringLiteral("IdPassForm") << QStringLiteral("Enter in PassText") << account << false
            << QStringLiteral("old.smtp|old.pop|old@x|0|new|newpw")
            << Ini("NAME=old\r\nNAME2=oldpw\r\nNAME3=0\r\n");
        for (const char* how : {"CancelCommand", "Esc", "close box"}) {
            QTest::addRow("server: %s", how)
                << QStringLiteral("OptionForm") << how << server << true << QString() << QByteArray();
            QTest::addRow("account: %s", how)
                << QStringLiteral("IdPassForm") << how << account << true << QString() << QByteArray();
        }
        QTest::newRow("server: Enter in a box, then Esc")
            << QStringLiteral("OptionForm") << QStringLiteral("Enter in Pop3Text") << server << true
            << QString() << QByteArray();
    }
    void waysOut()
    {
        QFETCH(QString, dialog);
        QFETCH(QString, how);
        QFETCH(QStringList, typed);
        QFETCH(bool, tick);
        QFETCH(QString, values);
        QFETCH(QByteArray, file);
        QVERIFY(WriteBytes(idPass(), Ini("NAME=old\r\nNAME2=oldpw\r\nNAME3=1\r\n")));
        const QByteArray before = state();
        Form* form = load(dialog);
        const QList<QLineEdit*> boxes = form->findChildren<QLineEdit*>();
        QCOMPARE(boxes.size(), typed.size());
        for (qsizetype i = 0; i < boxes.size(); ++i)
            test::Retype(boxes[i], typed[i]);
        if (tick)
            QTest::mouseClick(form->findChild<QCheckBox*>(), Qt::LeftButton);
        if (how == u"Esc") {
            QTest::keyClick(boxes.first(), Qt::Key_Escape);
        } else if (how == u"close box") {
            QVERIFY(form->close());
        } else if (how.startsWith(u"Enter in ")) {
            auto* control = form->findChild<QWidget*>(how.mid(9));
            control->setFocus();
            QTest::keyClick(control, Qt::Key_Return);
        } else {
            QTest::mouseClick(form->findChild<QPushButton*>(how), Qt::LeftButton);
        }
        if (how == u"Enter in Pop3Text") {
            QVERIFY(isLoaded(dialog));
            QCOMPARE(state(), before);
            QTest::keyClick(boxes.first(), Qt::Key_Escape);
        }
        QVERIFY(!isLoaded(dialog));
        if (values.isNull()) {
            QCOMPARE(state(), before);
        } else {
            QCOMPARE(this->values(), values);
            QCOMPARE(ReadBytes(dialog == u"OptionForm" ? vbmail() : idPass()), file);
        }
    }

    // A confirm whose save fails says which file and why, and the dialog stays open with
    // what was typed; once the file can be written, the same confirm saves what was kept.
    void failedSaveKeepsTheDialog_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("confirm"); // the button; empty: the close box
        QTest::addColumn<QString>("file");    // in the data folder, or vbmail.ini
        QTest::addColumn<int>("error");       // ENOENT: no data folder; EISDIR: a folder in the file's place
        QTest::newRow("SetForm") << QStringLiteral("SetForm") << QString() << QStringLiteral("ini.ini")
                                 << ENOENT;
        QTest::newRow("OptionForm") << QStringLiteral("OptionForm") << QStringLiteral("OkCommand")
                                    << QStringLiteral("vbmail.ini") << EISDIR;
        QTest::newRow("IdPassForm") << QStringLiteral("IdPassForm") << QStringLiteral("OKCommand")
                                    << QStringLiteral("iniIdPass.ini") << EISDIR;
    }
    void failedSaveKeepsTheDialog()
    {
        QFETCH(QString, dialog);
        QFETCH(QString, confirm);
        QFETCH(QString, file);
        QFETCH(int, error);
        const QString target = file == u"vbmail.ini" ? vbmail() : m->app.dataPath() + u'/' + file;
        if (error == ENOENT)
            QVERIFY(QDir(m->app.dataPath()).removeRecursively());
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
        const QString said = answerer.seen.join(u'\n'); // caption, text and icon
        QVERIFY2(answerer.seen.size() == 1 && said.startsWith(QStringLiteral("エラー|")), qPrintable(said));
        QVERIFY2(said.contains(QDir::toNativeSeparators(target)) &&
                     said.contains(QString::fromLocal8Bit(std::strerror(error))),
                 qPrintable(said));
        QVERIFY(form->isVisible());
        QCOMPARE(box->text(), QStringLiteral("9"));

        QVERIFY(error == ENOENT ? QDir().mkpath(m->app.dataPath()) : QDir(target).removeRecursively());
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
    // the server values with a hand-edited APOP value of 5 (shown as used) and a saved account
    // (the password as stars, the save choice clear whatever the file says).
    void looks_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::newRow("SetForm") << "SetForm";
        QTest::newRow("OptionForm") << "OptionForm";
        QTest::newRow("IdPassForm") << "IdPassForm";
    }
    void looks()
    {
        QFETCH(QString, dialog);
        QVERIFY(WriteBytes(ini(), Ini("NUMBER=1\r\nNUMBER2=15\r\n")));
        QVERIFY(WriteBytes(idPass(), Ini("NAME=taro\r\nNAME2=secret\r\nNAME3=1\r\n")));
        m->values.ApopFlag = 5;
        Form* form = load(dialog, false);
        const QString difference = test::CompareWithReference(form, QStringLiteral("settings"), dialog);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
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

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
