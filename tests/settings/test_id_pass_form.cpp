// The account dialog "ID,PASS": filled from iniIdPass.ini, the save choice and its writes
// byte for byte, OK/Enter, Cancel/Esc/close box, and a password that is never shown.

#include "platform/Ansi.h"
#include "settings/DialogTyping.h"
#include "settings/IdPassForm.h"
#include "settings/SettingsFiles.h"
#include "support/BoxAnswerer.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QClipboard>
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
using test::ShownText;
using test::TwipsRect;
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

    void loadFillsFromTheFile_data()
    {
        QTest::addColumn<QByteArray>("stored"); // empty: no file
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("password");
        QTest::newRow("nothing saved") << QByteArray() << ""
                                       << "";
        QTest::newRow("both saved") << Ini("NAME=user\r\nNAME2=secret\r\nNAME3=1\r\n") << "user"
                                    << "secret";
        QTest::newRow("cp932 ID") << Ini("NAME=" + ToAnsi(QStringLiteral("髙橋")) + "\r\nNAME2=p\r\n")
                                  << QStringLiteral("髙橋") << "p";
    }
    void loadFillsFromTheFile()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, id);
        QFETCH(QString, password);
        if (!stored.isEmpty())
            QVERIFY(WriteBytes(file(), stored));
        IdPassForm& form = m_form->get();
        QCOMPARE(form.IdText->text(), id);
        QCOMPARE(form.PassText->text(), password);
        QVERIFY(!form.Check1->isChecked()); // never set from the file
        QCOMPARE(form.PassText->displayText(), QString(password.size(), u'*'));
    }

    // Confirming: the values as typed; with the box ticked NAME, NAME2, NAME3=1 in that
    // order; without it only NAME3=0, the earlier save kept.
    void confirm_data()
    {
        QTest::addColumn<QByteArray>("before"); // empty: no file
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("saved, first time, OK clicked")
            << QByteArray() << "me"
            << "pw 1" << true << "click" << Ini("NAME=me\r\nNAME2=pw 1\r\nNAME3=1\r\n");
        QTest::newRow("saved over an earlier save, Enter in the password box")
            << Ini("NAME=old\r\nNAME2=oldpw\r\nNAME3=1\r\n") << "new"
            << "newpw" << true << "enter" << Ini("NAME=new\r\nNAME2=newpw\r\nNAME3=1\r\n");
        QTest::newRow("not saved keeps the earlier save")
            << Ini("NAME=old\r\nNAME2=oldpw\r\nNAME3=1\r\n") << "other"
            << "otherpw" << false << "click" << Ini("NAME=old\r\nNAME2=oldpw\r\nNAME3=0\r\n");
        QTest::newRow("not saved, nothing before: only NAME3")
            << QByteArray() << "x"
            << "y" << false << "enter" << Ini("NAME3=0\r\n");
        QTest::newRow("Japanese ID in cp932")
            << QByteArray() << QStringLiteral("山田") << QStringLiteral("ぱす") << true << "click"
            << Ini("NAME=" + ToAnsi(QStringLiteral("山田")) + "\r\nNAME2=" + ToAnsi(QStringLiteral("ぱす")) +
                   "\r\nNAME3=1\r\n");
        QTest::newRow("empty values saved") << Ini("NAME=old\r\nNAME2=oldpw\r\n") << ""
                                            << "" << true << "click" << Ini("NAME=\r\nNAME2=\r\nNAME3=1\r\n");
    }
    void confirm()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, id);
        QFETCH(QString, password);
        QFETCH(bool, save);
        QFETCH(QString, how);
        QFETCH(QByteArray, after);
        if (!before.isEmpty())
            QVERIFY(WriteBytes(file(), before));
        m_form->show();
        IdPassForm* form = m_form->loadedForm();
        test::Retype(form->IdText, id);
        test::Retype(form->PassText, password);
        if (save)
            QTest::mouseClick(form->Check1, Qt::LeftButton);
        if (how == u"enter")
            QTest::keyClick(form->PassText, Qt::Key_Return);
        else
            QTest::mouseClick(form->OKCommand, Qt::LeftButton);
        QVERIFY(!m_form->isLoaded());
        QCOMPARE(m_values.AccountId, id);
        QCOMPARE(m_values.AccountPassword, password);
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
    void passwordNeverShown_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("ASCII") << "s3cret!";
        QTest::newRow("Japanese") << QStringLiteral("秘密のことば");
        QTest::newRow("blanks") << "  a b  ";
    }
    void passwordNeverShown()
    {
        QFETCH(QString, typed);
        QVERIFY(WriteBytes(file(), Ini("NAME=u\r\nNAME2=" + ToAnsi(typed) + "\r\n")));
        m_form->show();
        IdPassForm* form = m_form->loadedForm();
        QCOMPARE(form->PassText->text(), typed.trimmed()); // the INI reader drops outer blanks
        QCOMPARE(form->PassText->displayText(), QString(typed.trimmed().size(), u'*'));
        test::Retype(form->PassText, QString());
        form->PassText->setFocus();
        test::Type(form->PassText, typed);
        QCOMPARE(form->PassText->text(), typed);
        QCOMPARE(form->PassText->displayText(), QString(typed.size(), u'*'));
        QApplication::clipboard()->setText(QStringLiteral("before"));
        form->PassText->selectAll();
        QTest::keyClick(form->PassText, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(form->PassText, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
    }

    // A folder in iniIdPass.ini's place: OK shows a box naming the file and the reason, and the
    // dialog stays open with what was typed.
    void failedSaveKeepsTheDialog()
    {
        m_form->show();
        IdPassForm* form = m_form->loadedForm();
        test::Retype(form->IdText, QStringLiteral("taro"));
        test::Retype(form->PassText, QStringLiteral("secret"));
        QTest::mouseClick(form->Check1, Qt::LeftButton);
        QVERIFY(QDir().mkpath(file()));
        test::BoxAnswerer answerer(QMessageBox::Ok);
        QTest::mouseClick(form->OKCommand, Qt::LeftButton);
        QVERIFY2(answerer.SawOneSaveFailure(file(), QString::fromLocal8Bit(std::strerror(EISDIR))),
                 qPrintable(answerer.seen.join(u'\n')));
        QVERIFY(m_form->isLoaded());
        QVERIFY(form->isVisible());
        QVERIFY(QFileInfo(file()).isDir());
    }

    void refusesWhatTheFileCannotHold()
    {
        m_form->show();
        IdPassForm* form = m_form->loadedForm();
        for (QLineEdit* box : {form->IdText, form->PassText}) {
            box->setFocus();
            test::CommitText(box, QStringLiteral("ab"));
            test::CommitText(box, QStringLiteral("한"));
            test::CommitText(box, QStringLiteral("\nNAME3=1"));
            QCOMPARE(box->text(), QStringLiteral("ab"));
        }
    }

    void layout_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("twips");
        QTest::newRow("Label1") << "Label1"
                                << "ID" << QRect(120, 180, 675, 255);
        QTest::newRow("IdText") << "IdText"
                                << "" << QRect(960, 120, 1632, 264);
        QTest::newRow("Label2(0)") << "Label2(0)"
                                   << "Password" << QRect(120, 600, 795, 255);
        QTest::newRow("PassText") << "PassText"
                                  << "" << QRect(960, 600, 1632, 264);
        QTest::newRow("Check1") << "Check1"
                                << "" << QRect(420, 1020, 255, 255);
        QTest::newRow("Label2(1)") << "Label2(1)" << QStringLiteral("IDパスワードを保存する")
                                   << QRect(780, 1020, 1875, 255);
        QTest::newRow("OKCommand") << "OKCommand"
                                   << "OK" << QRect(900, 1380, 852, 312);
        QTest::newRow("CancelCommand") << "CancelCommand"
                                       << "Cancel" << QRect(1860, 1380, 852, 312);
    }
    void layout()
    {
        QFETCH(QString, control);
        QFETCH(QString, text);
        QFETCH(QRect, twips);
        IdPassForm& form = m_form->get();
        QCOMPARE(form.windowTitle(), QStringLiteral("ID,PASS"));
        QCOMPARE(form.size(), TwipsRect(0, 0, 2880, 1785).size());
        auto* widget = form.findChild<QWidget*>(control);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), TwipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
        QCOMPARE(ShownText(widget), text);
    }

    void looksAndKeyboard()
    {
        m_form->show();
        IdPassForm* form = m_form->loadedForm();
        QVERIFY(form->OKCommand->isDefault());
        QCOMPARE(form->Label2_1->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(test::TabWalk(form, form->IdText, 6),
                 (QStringList{"IdText", "PassText", "OKCommand", "CancelCommand", "Check1", "IdText"}));
    }
};

QTEST_MAIN(TestIdPassForm)
#include "test_id_pass_form.moc"
