// The server dialog "サーバー設定": filled from the program-wide values, confirmed into them and
// into vbmail.ini byte for byte, or dropped; topmost; its keys and its look.

#include "platform/Ansi.h"
#include "settings/DialogTyping.h"
#include "settings/OptionForm.h"
#include "settings/SettingsFiles.h"
#include "support/BoxAnswerer.h"
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
using test::ShownText;
using test::TwipsRect;
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

    void loadFillsTheFields_data()
    {
        QTest::addColumn<int>("apop");
        QTest::addColumn<bool>("checked");
        QTest::newRow("APOP 0") << 0 << false;
        QTest::newRow("APOP 1") << 1 << true;
        QTest::newRow("hand-edited APOP 5 shows as used") << 5 << true;
    }
    void loadFillsTheFields()
    {
        QFETCH(int, apop);
        QFETCH(bool, checked);
        m_values.ApopFlag = std::int16_t(apop);
        m_form->show();
        OptionForm* form = m_form->loadedForm();
        QCOMPARE(form->SmtpText->text(), QStringLiteral("old.smtp"));
        QCOMPARE(form->Pop3Text->text(), QStringLiteral("old.pop"));
        QCOMPARE(form->MailText->text(), QStringLiteral("old@x"));
        QCOMPARE(form->ApopCheck->isChecked(), checked);
        QVERIFY(form->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(form->isVisible());
    }

    // "設定", clicked or pressed with Enter while it has the focus, takes the fields as typed.
    void confirm_data()
    {
        QTest::addColumn<QString>("smtp");
        QTest::addColumn<QString>("pop");
        QTest::addColumn<QString>("mail");
        QTest::addColumn<bool>("apop");
        QTest::addColumn<bool>("byEnter");
        QTest::newRow("APOP ticked, fourth line APOP=1") << "smtp.example"
                                                         << "pop.example"
                                                         << "me@example" << true << false;
        QTest::newRow("blanks kept, APOP clear") << " smtp "
                                                 << " pop.example "
                                                 << "" << false << true;
        QTest::newRow("Japanese address in cp932")
            << "s" << QStringLiteral("ポップ.例") << QStringLiteral("髙橋@例え.jp") << false << false;
        QTest::newRow("empty server accepted") << ""
                                               << ""
                                               << "" << true << true;
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
        QCOMPARE(ReadBytes(vbmail()), "SMTP=" + ToAnsi(smtp) + "\r\nPOP3=" + ToAnsi(pop) + "\r\nMAIL=" +
                                          ToAnsi(mail) + "\r\nAPOP=" + (apop ? "1" : "0") + "\r\n");

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
        QVERIFY(QFileInfo(vbmail()).isDir());
    }

    void refusesWhatTheFileCannotHold()
    {
        m_form->show();
        OptionForm* form = m_form->loadedForm();
        for (QLineEdit* box : {form->SmtpText, form->Pop3Text, form->MailText}) {
            box->setFocus();
            box->end(false);
            test::CommitText(box, QStringLiteral("한"));
            test::CommitText(box, QStringLiteral("a\r\nAPOP=1"));
            test::CommitText(box, QStringLiteral("ｱ"));
        }
        QCOMPARE(form->SmtpText->text(), QStringLiteral("old.smtpｱ"));
        QCOMPARE(form->Pop3Text->text(), QStringLiteral("old.popｱ"));
        QCOMPARE(form->MailText->text(), QStringLiteral("old@xｱ"));
    }

    void layout_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("twips");
        QTest::newRow("Label1") << "Label1" << QStringLiteral("SMTPサーバー名(&S)")
                                << QRect(120, 120, 1575, 195);
        QTest::newRow("SmtpText") << "SmtpText"
                                  << "old.smtp" << QRect(120, 360, 2652, 264);
        QTest::newRow("Label2") << "Label2" << QStringLiteral("POP3サーバー名(&P)")
                                << QRect(120, 720, 1635, 195);
        QTest::newRow("Pop3Text") << "Pop3Text"
                                  << "old.pop" << QRect(120, 960, 2652, 264);
        QTest::newRow("Label3") << "Label3" << QStringLiteral("メールアドレス(&M)")
                                << QRect(120, 1320, 1635, 195);
        QTest::newRow("MailText") << "MailText"
                                  << "old@x" << QRect(120, 1560, 2652, 264);
        QTest::newRow("ApopCheck") << "ApopCheck" << QStringLiteral("APOP を使用する(&A)")
                                   << QRect(480, 2040, 2172, 252);
        QTest::newRow("OkCommand") << "OkCommand" << QStringLiteral("設定") << QRect(660, 2520, 972, 372);
        QTest::newRow("CancelCommand")
            << "CancelCommand" << QStringLiteral("中止") << QRect(1860, 2520, 912, 372);
    }
    void layout()
    {
        QFETCH(QString, control);
        QFETCH(QString, text);
        QFETCH(QRect, twips);
        OptionForm& form = m_form->get();
        QCOMPARE(form.windowTitle(), QStringLiteral("サーバー設定"));
        QCOMPARE(form.size(), TwipsRect(0, 0, 2895, 3015).size());
        auto* widget = form.findChild<QWidget*>(control);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), TwipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
        if (auto* label = qobject_cast<QLabel*>(widget))
            QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(ShownText(widget), text);
    }

    void looks()
    {
        OptionForm& form = m_form->get();
        QCOMPARE(form.ApopCheck->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(!form.OkCommand->isDefault());
        QCOMPARE(form.grab().toImage().pixelColor(2, 2), QColor(192, 192, 192));
    }

    // Tab order, and each caption's access key reaching the box below it.
    void keyboard()
    {
        m_form->show();
        OptionForm* form = m_form->loadedForm();
        QCOMPARE(test::TabWalk(form, form->SmtpText, 7),
                 (QStringList{"SmtpText", "Pop3Text", "ApopCheck", "OkCommand", "CancelCommand", "MailText",
                              "SmtpText"}));
        QCOMPARE(form->Label2->buddy(), form->Pop3Text);
        QTest::keyClick(form, Qt::Key_M, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), form->MailText);
        QTest::keyClick(form, Qt::Key_P, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), form->Pop3Text);
    }
};

QTEST_MAIN(TestOptionForm)
#include "test_option_form.moc"
