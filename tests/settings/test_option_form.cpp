// The server dialog "サーバー設定": filled from the program-wide values, confirmed into them and
// into vbmail.ini, or dropped; topmost; its keys and its look.

#include "platform/Fonts.h"
#include "settings/DialogTyping.h"
#include "settings/OptionForm.h"
#include "settings/SettingsFiles.h"
#include "support/BoxAnswerer.h"
#include "support/ReferenceRendering.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cerrno>
#include <cstring>

using namespace pelloway;
using test::ReadBytes;
using test::WriteBytes;

class TestOptionForm : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<test::AppFolder> m_app;
    std::unique_ptr<SettingsFiles> m_files;
    SharedValues m_values;
    std::unique_ptr<FormHolder<OptionForm>> m_form;

    QString vbmail() const { return m_app->file(QStringLiteral("vbmail.ini")); }
    static const QByteArray& OldFile()
    {
        static const QByteArray bytes("SMTP=old.smtp\r\nPOP3=old.pop\r\nMAIL=old@x\r\nAPOP=0\r\n");
        return bytes;
    }

private slots:
    void initTestCase() { InstallFontSubstitutions(); }
    void init()
    {
        m_app = std::make_unique<test::AppFolder>();
        m_files = std::make_unique<SettingsFiles>(m_app->path(), vbmail());
        m_values = SharedValues{};
        QVERIFY(WriteBytes(vbmail(), OldFile()));
        m_files->LoadServerSettings(m_values);
        m_form =
            std::make_unique<FormHolder<OptionForm>>([this] { return new OptionForm(m_values, *m_files); });
    }
    void cleanup()
    {
        m_form.reset();
        m_files.reset();
        m_app.reset();
    }

    // "設定", clicked or pressed with Enter while it has the focus, takes the fields as typed.
    void confirm_data()
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
    void confirm()
    {
        QFETCH(QString, smtp);
        QFETCH(QString, pop);
        QFETCH(QString, mail);
        QFETCH(bool, apop);
        QFETCH(bool, byEnter);
        m_form->show();
        OptionForm* form = m_form->loadedForm();
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
        QVERIFY(!m_form->isLoaded());
        QCOMPARE(m_values.SmtpServer, smtp);
        QCOMPARE(m_values.PopServer, pop);
        QCOMPARE(m_values.MailAddress, mail);
        QCOMPARE(int(m_values.ApopFlag), apop ? 1 : 0);
        QCOMPARE(ReadBytes(vbmail()), "SMTP=" + smtp.toLatin1() + "\r\nPOP3=" + pop.toLatin1() + "\r\nMAIL=" +
                                          mail.toLatin1() + "\r\nAPOP=" + (apop ? "1" : "0") + "\r\n");

        // Opened again, it shows what was confirmed.
        m_form->show();
        QCOMPARE(m_form->get().Pop3Text->text(), pop);
        QCOMPARE(m_form->get().ApopCheck->isChecked(), apop);
    }

    // "中止", Esc and the close box drop every edit; Enter in a text box does nothing, since
    // the dialog has no default button.
    void discard_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("中止") << "cancel";
        QTest::newRow("Esc") << "esc";
        QTest::newRow("close box") << "close";
        QTest::newRow("Enter in a box, then Esc") << "enter";
    }
    void discard()
    {
        QFETCH(QString, how);
        m_form->show();
        OptionForm* form = m_form->loadedForm();
        test::Retype(form->SmtpText, QStringLiteral("new.smtp"));
        test::Retype(form->Pop3Text, QStringLiteral("new.pop"));
        test::Retype(form->MailText, QStringLiteral("新@x"));
        QTest::mouseClick(form->ApopCheck, Qt::LeftButton);
        if (how == u"cancel") {
            QTest::mouseClick(form->CancelCommand, Qt::LeftButton);
        } else if (how == u"esc") {
            QTest::keyClick(form->MailText, Qt::Key_Escape);
        } else if (how == u"close") {
            QVERIFY(form->close());
        } else {
            QTest::keyClick(form->Pop3Text, Qt::Key_Return);
            QVERIFY(m_form->isLoaded());
            QCOMPARE(m_values.PopServer, QStringLiteral("old.pop"));
            QTest::keyClick(form->Pop3Text, Qt::Key_Escape);
        }
        QVERIFY(!m_form->isLoaded());
        QCOMPARE(m_values.SmtpServer, QStringLiteral("old.smtp"));
        QCOMPARE(m_values.PopServer, QStringLiteral("old.pop"));
        QCOMPARE(m_values.MailAddress, QStringLiteral("old@x"));
        QCOMPARE(int(m_values.ApopFlag), 0);
        QCOMPARE(ReadBytes(vbmail()), OldFile());
        m_form->show();
        QCOMPARE(m_form->get().SmtpText->text(), QStringLiteral("old.smtp"));
        QVERIFY(!m_form->get().ApopCheck->isChecked());
    }

    // A folder in vbmail.ini's place: OK shows a box naming the file and the reason, and the
    // dialog stays open with what was typed.
    void failedSaveKeepsTheDialog()
    {
        m_form->show();
        OptionForm* form = m_form->loadedForm();
        test::Retype(form->Pop3Text, QStringLiteral("new.pop"));
        QVERIFY(QFile::remove(vbmail()));
        QVERIFY(QDir().mkpath(vbmail()));
        test::BoxAnswerer answerer(QMessageBox::Ok);
        QTest::mouseClick(form->OkCommand, Qt::LeftButton);
        QVERIFY2(answerer.SawOneSaveFailure(vbmail(), QString::fromLocal8Bit(std::strerror(EISDIR))),
                 qPrintable(answerer.seen.join(u'\n')));
        QVERIFY(m_form->isLoaded());
        QVERIFY(form->isVisible());
        QCOMPARE(form->Pop3Text->text(), QStringLiteral("new.pop"));
        QVERIFY(QFileInfo(vbmail()).isDir());
    }

    // Each box takes only what vbmail.ini can hold.
    void refusesWhatTheFileCannotHold()
    {
        OptionForm& form = m_form->get();
        for (QLineEdit* box : {form.SmtpText, form.Pop3Text, form.MailText})
            test::CommitText(box, QStringLiteral("a\r\nAPOP=1"));
        QCOMPARE(form.SmtpText->text() + form.Pop3Text->text() + form.MailText->text(),
                 QStringLiteral("old.smtpold.popold@x"));
    }

    // How it looks filled from the program-wide values, a hand-edited APOP value of 5 shown
    // as used; topmost from its load step.
    void looks()
    {
        m_values.ApopFlag = 5;
        OptionForm& form = m_form->get();
        const QString difference =
            test::CompareWithReference(&form, QStringLiteral("settings"), QStringLiteral("OptionForm"));
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QCOMPARE(form.windowTitle(), QStringLiteral("サーバー設定"));
        QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
    }

    // Tab order, and each caption's access key reaching the box below it.
    void keyboard()
    {
        m_form->show();
        OptionForm* form = m_form->loadedForm();
        QCOMPARE(test::TabWalk(form, form->SmtpText, 7),
                 (QStringList{"SmtpText", "Pop3Text", "ApopCheck", "OkCommand", "CancelCommand", "MailText",
                              "SmtpText"}));
        QTest::keyClick(form, Qt::Key_M, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), form->MailText);
        QTest::keyClick(form, Qt::Key_P, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), form->Pop3Text);
    }
};

QTEST_MAIN(TestOptionForm)
#include "test_option_form.moc"
