// The account dialog "ID,PASS": filled from iniIdPass.ini, the save choice, OK/Enter,
// Cancel/Esc/close box, and a password that is never shown.

#include "platform/Fonts.h"
#include "settings/DialogTyping.h"
#include "settings/IdPassForm.h"
#include "settings/SettingsFiles.h"
#include "support/BoxAnswerer.h"
#include "support/ReferenceRendering.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cerrno>
#include <cstring>

using namespace pelloway;
using test::ReadBytes;
using test::WriteBytes;

class TestIdPassForm : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<test::AppFolder> m_app;
    std::unique_ptr<SettingsFiles> m_files;
    SharedValues m_values;
    std::unique_ptr<FormHolder<IdPassForm>> m_form;

    QString file() const { return m_files->idPassPath(); }
    static QByteArray Ini(const QByteArray& lines) { return "[EXEINI]\r\n" + lines; }

private slots:
    void initTestCase() { InstallFontSubstitutions(); }
    void init()
    {
        m_app = std::make_unique<test::AppFolder>();
        m_files = std::make_unique<SettingsFiles>(m_app->path(), m_app->file(QStringLiteral("vbmail.ini")));
        m_values = SharedValues{};
        m_form =
            std::make_unique<FormHolder<IdPassForm>>([this] { return new IdPassForm(m_values, *m_files); });
    }
    void cleanup()
    {
        m_form.reset();
        m_files.reset();
        m_app.reset();
    }

    // Confirming takes the values as typed; the save choice decides what the file keeps.
    void confirm_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<bool>("byEnter"); // in the password box
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("saved, OK clicked") << true << false << Ini("NAME=new\r\nNAME2=newpw\r\nNAME3=1\r\n");
        QTest::newRow("not saved, Enter") << false << true << Ini("NAME=old\r\nNAME2=oldpw\r\nNAME3=0\r\n");
    }
    void confirm()
    {
        QFETCH(bool, save);
        QFETCH(bool, byEnter);
        QFETCH(QByteArray, after);
        QVERIFY(WriteBytes(file(), Ini("NAME=old\r\nNAME2=oldpw\r\nNAME3=1\r\n")));
        m_form->show();
        IdPassForm* form = m_form->loadedForm();
        test::Retype(form->IdText, QStringLiteral("new"));
        test::Retype(form->PassText, QStringLiteral("newpw"));
        if (save)
            QTest::mouseClick(form->Check1, Qt::LeftButton);
        if (byEnter)
            QTest::keyClick(form->PassText, Qt::Key_Return);
        else
            QTest::mouseClick(form->OKCommand, Qt::LeftButton);
        QVERIFY(!m_form->isLoaded());
        QCOMPARE(m_values.AccountId, QStringLiteral("new"));
        QCOMPARE(m_values.AccountPassword, QStringLiteral("newpw"));
        QCOMPARE(ReadBytes(file()), after);
    }

    void discard_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel") << "cancel";
        QTest::newRow("Esc") << "esc";
        QTest::newRow("close box") << "close";
        QTest::newRow("Enter with Cancel focused") << "enter-on-cancel";
    }
    void discard()
    {
        QFETCH(QString, how);
        const QByteArray before = Ini("NAME=old\r\nNAME2=oldpw\r\nNAME3=1\r\n");
        QVERIFY(WriteBytes(file(), before));
        m_values.AccountId = QStringLiteral("kept");
        m_values.AccountPassword = QStringLiteral("keptpw");
        m_form->show();
        IdPassForm* form = m_form->loadedForm();
        test::Retype(form->IdText, QStringLiteral("typed"));
        test::Retype(form->PassText, QStringLiteral("typedpw"));
        QTest::mouseClick(form->Check1, Qt::LeftButton);
        if (how == u"cancel") {
            QTest::mouseClick(form->CancelCommand, Qt::LeftButton);
        } else if (how == u"esc") {
            QTest::keyClick(form->IdText, Qt::Key_Escape);
        } else if (how == u"close") {
            QVERIFY(form->close());
        } else {
            form->CancelCommand->setFocus();
            QTest::keyClick(form->CancelCommand, Qt::Key_Return);
        }
        QVERIFY(!m_form->isLoaded());
        QCOMPARE(m_values.AccountId, QStringLiteral("kept"));
        QCOMPARE(m_values.AccountPassword, QStringLiteral("keptpw"));
        QCOMPARE(ReadBytes(file()), before);
        QCOMPARE(m_form->get().IdText->text(), QStringLiteral("old"));
    }

    // Whatever is typed or loaded, the box shows one "*" per character and gives nothing away
    // through the clipboard.
    void passwordNeverShown()
    {
        QVERIFY(WriteBytes(file(), Ini("NAME=u\r\nNAME2=loaded\r\n")));
        m_form->show();
        QLineEdit* box = m_form->loadedForm()->PassText;
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

    // A folder in iniIdPass.ini's place: OK shows a box naming the file and the reason, and the
    // dialog stays open with what was typed.
    void failedSaveKeepsTheDialog()
    {
        m_form->show();
        IdPassForm* form = m_form->loadedForm();
        test::Retype(form->IdText, QStringLiteral("taro"));
        QTest::mouseClick(form->Check1, Qt::LeftButton);
        QVERIFY(QDir().mkpath(file()));
        test::BoxAnswerer answerer(QMessageBox::Ok);
        QTest::mouseClick(form->OKCommand, Qt::LeftButton);
        QVERIFY2(answerer.SawOneSaveFailure(file(), QString::fromLocal8Bit(std::strerror(EISDIR))),
                 qPrintable(answerer.seen.join(u'\n')));
        QVERIFY(m_form->isLoaded());
        QVERIFY(form->isVisible());
        QCOMPARE(form->IdText->text(), QStringLiteral("taro"));
        QVERIFY(QFileInfo(file()).isDir());
    }

    // Both boxes take only what iniIdPass.ini can hold.
    void refusesWhatTheFileCannotHold()
    {
        IdPassForm& form = m_form->get();
        for (QLineEdit* box : {form.IdText, form.PassText}) {
            test::CommitText(box, QStringLiteral("ab"));
            test::CommitText(box, QStringLiteral("\nNAME3=1"));
            QCOMPARE(box->text(), QStringLiteral("ab"));
        }
    }

    // How it looks filled from a saved account: the password as stars, and the save choice
    // clear whatever the file says.
    void looks()
    {
        QVERIFY(WriteBytes(file(), Ini("NAME=taro\r\nNAME2=secret\r\nNAME3=1\r\n")));
        IdPassForm& form = m_form->get();
        const QString difference =
            test::CompareWithReference(&form, QStringLiteral("settings"), QStringLiteral("IdPassForm"));
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QCOMPARE(form.windowTitle(), QStringLiteral("ID,PASS"));
    }

    void keyboard()
    {
        m_form->show();
        IdPassForm* form = m_form->loadedForm();
        QCOMPARE(test::TabWalk(form, form->IdText, 6),
                 (QStringList{"IdText", "PassText", "OKCommand", "CancelCommand", "Check1", "IdText"}));
    }
};

QTEST_MAIN(TestIdPassForm)
#include "test_id_pass_form.moc"
