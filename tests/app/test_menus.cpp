#include "app/MainForm.h"
#include "mail/CheckCycle.h"
#include "platform/QtTranslations.h"
#include "settings/IdPassForm.h"
#include "settings/SetForm.h"
#include "settings/SettingsFiles.h"
#include "support/BoxAnswerer.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFrame>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTextStream>
#include <QWindow>
#include <optional>

using namespace pelloway;
using pelloway::test::BoxAnswerer;

namespace {

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

struct Fixture
{
    test::AppFolder app;
    test::RecordingServices services;
    SettingsFiles files{app.path(), app.file(QStringLiteral("vbmail.ini"))};
    std::unique_ptr<MainForm> form;

    // Stacking requests are recorded unless the window system's own is asked for.
    explicit Fixture(bool systemStacking = false)
    {
        files.StoreAccount(QStringLiteral("id"), QStringLiteral("pw"), true);
        test::WriteBytes(files.serverFilePath(), "POP3=pop.example\r\n");
        WindowStacking& stacking = systemStacking ? SystemWindowStacking() : services.stacking;
        form = std::make_unique<MainForm>(
            files, MainFormServices{services.pop3, services.mci, services.ras, services.character, stacking});
        form->endProgramHook = [] {};
        form->checkCycle().wait = [](int) {};
        form->Form_Load();
        services.log.take();
    }
};

QStringList actionTexts(QMenu* menu)
{
    QStringList out;
    for (QAction* a : menu->actions())
        out.append(a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

} // namespace

class TestMenus : public QObject
{
    Q_OBJECT
private slots:
    void menuTree()
    {
        Fixture f;
        MainForm& m = *f.form;
        const QList<QAction*> top = m.menuBar()->actions();
        QCOMPARE(top.size(), 2);
        QCOMPARE(top[0]->menu(), m.mfile);
        QCOMPARE(top[1]->menu(), m.mgazou);
        QCOMPARE(m.mfile->title(), QStringLiteral("ファイル"));
        QCOMPARE(m.mgazou->title(), QStringLiteral("画像"));
        QCOMPARE(actionTexts(m.mfile),
                 QStringList({"新着メールチェック", "-", "設定", "常に前面表示", "-", "作者のホームページ"}));
        QCOMPARE(actionTexts(m.mgazou), QStringList({"イベント確認", "-", "イベント終了"}));
        QCOMPARE(m.mfile->actions().indexOf(m.mline2), 1);
        QCOMPARE(m.mgazou->actions().indexOf(m.mline5), 1);
    }

    void checkMenuRunsTheCheck()
    {
        Fixture f;
        f.services.pop3.authenticateResult = 0;
        f.form->mcheck->trigger();
        const QStringList pop3 = f.services.log.with(QStringLiteral("pop3:"));
        QVERIFY2(pop3.size() >= 3, qPrintable(pop3.join(u' ')));
        QCOMPARE(pop3.first(), QStringLiteral("pop3:connect(pop.example)"));
        QCOMPARE(pop3.last(), QStringLiteral("pop3:close(1)"));
    }

    void settingsMenuShowsTheDialog()
    {
        Fixture f;
        SetForm* before = f.form->setForm().loadedForm();
        f.form->mset->trigger();
        QCOMPARE(f.form->setForm().loadedForm(), before); // the one object, now shown
        QVERIFY(before->isVisible());
        f.form->mset->trigger();
        QCOMPARE(f.form->setForm().loadedForm(), before);
    }

    void alwaysOnTopAlternates()
    {
        Fixture f;
        MainForm& m = *f.form;
        BoxAnswerer answer(QMessageBox::Ok);
        QStringList whileBoxOpen;
        answer.onBox = [&] { whileBoxOpen += f.services.log.entries(); }; // the stacking comes after
        const QString info = QString::number(int(QMessageBox::Information));
        m.mzenmen->trigger();
        QCOMPARE(f.services.log.take(), QStringList({"stacking:topmost(Pelloway)"}));
        QCOMPARE(m.topmostClickCount(), 1);
        m.mzenmen->trigger();
        QCOMPARE(f.services.log.take(), QStringList({"stacking:not-topmost(Pelloway)"}));
        m.Picture8->click();
        QCOMPARE(f.services.log.take(), QStringList({"stacking:topmost(Pelloway)"}));
        QCOMPARE(answer.seen, QStringList({"Pelloway|常に手前表示が設定されました。|" + info,
                                           "Pelloway|常に手前表示が解除されました。|" + info,
                                           "Pelloway|常に手前表示が設定されました。|" + info}));
        QCOMPARE(answer.buttons, QStringList({"OK", "OK", "OK"}));
        QCOMPARE(whileBoxOpen, QStringList());
        QCOMPARE(m.topmostClickCount(), 3);
    }

    // The window system's stacking on a main window not shown yet: the widget and its native
    // window both carry the flag, the window is shown, and the native window stays the one it
    // was. (The window manager's side is seen on X11 in test_topmost_x11.)
    void alwaysOnTopShowsAndKeepsTheNativeWindow()
    {
        Fixture f(true);
        MainForm& m = *f.form;
        const Qt::WindowFlags others = m.windowFlags();
        std::optional<WId> native;
        BoxAnswerer answer(QMessageBox::Ok);
        for (const bool topmost : {true, false}) {
            m.mzenmen->trigger();
            if (!native)
                native = m.winId();
            QCOMPARE(m.winId(), *native);
            QCOMPARE(m.windowFlags() & ~Qt::WindowStaysOnTopHint, others);
            QCOMPARE(m.windowFlags().testFlag(Qt::WindowStaysOnTopHint), topmost);
            QCOMPARE(m.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), topmost);
            QVERIFY(m.isVisible());
        }
        QCOMPARE(answer.seen.size(), 2);
    }

    void mouseOverTopmostButtonSetsCaption()
    {
        Fixture f;
        QCOMPARE(f.form->windowTitle(), QStringLiteral("Pelloway"));
        QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), QPointF(3, 3), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(f.form->Picture8, &move);
        QCOMPARE(f.form->windowTitle(), QStringLiteral("常に手前表示"));
    }

    void homePagePrompt_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("opened");
        QTest::newRow("No changes nothing") << int(QMessageBox::No) << 0;
        QTest::newRow("Yes opens the page") << int(QMessageBox::Yes) << 1;
    }
    void homePagePrompt()
    {
        QFETCH(int, answer);
        QFETCH(int, opened);
        Fixture f;
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        BoxAnswerer answerer{QMessageBox::StandardButton(answer)};
        const QString before = f.form->windowTitle();
        f.form->mhp->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen[0],
                 QStringLiteral("確認|「Tomvale」作者のホームページです。ちょっと見てみますか？|") +
                     QString::number(int(QMessageBox::Question)));
        QCOMPARE(catcher.opened.size(), opened);
        if (opened)
            QCOMPARE(catcher.opened[0], MainForm::HomePageUrl(f.app.path()));
        QCOMPARE(f.form->windowTitle(), before);
        QVERIFY(f.services.log.entries().isEmpty());
    }

    // Standard buttons read in the desktop's language; the program's own texts stay as they
    // are. Each language runs in a child process, since Qt reads the language once.
    void buttonsFollowTheDesktopLanguage_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("buttons");
        QTest::newRow("Japanese desktop") << "ja_JP.UTF-8"
                                          << "はい|いいえ";
        QTest::newRow("German desktop") << "de_DE.UTF-8"
                                        << "Ja|Nein";
        QTest::newRow("C") << "C"
                           << "Yes|No";
    }
    void buttonsFollowTheDesktopLanguage()
    {
        QFETCH(QString, lang);
        QFETCH(QString, buttons);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& name :
             {QStringLiteral("LANGUAGE"), QStringLiteral("LC_ALL"), QStringLiteral("LC_MESSAGES")})
            env.remove(name);
        env.insert(QStringLiteral("LANG"), lang);
        env.insert(QStringLiteral("LC_CTYPE"), QStringLiteral("C.UTF-8")); // the language data may be missing
        env.insert(QStringLiteral("PELLOWAY_SHOW_BOXES"), QStringLiteral("1"));
        QProcess child;
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("boxesAsTheProgramShowsThem")});
        QVERIFY(child.waitForFinished(60000));
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 qPrintable(out + QString::fromUtf8(child.readAllStandardError())));
        QStringList shown;
        for (const QString& line : out.split(u'\n')) {
            if (line.startsWith(QStringLiteral("SHOWN ")))
                shown.append(line.mid(6));
        }
        QCOMPARE(
            shown,
            QStringList({QStringLiteral("確認|「Tomvale」作者のホームページです。ちょっと見てみますか？|") +
                             QString::number(int(QMessageBox::Question)) + u'|' + buttons,
                         QStringLiteral("ID,PASS|OK|Cancel")}));
    }
    // Run by the test above with the desktop's language set: starts as the program does and
    // prints the home-page prompt with its buttons and the account dialog's buttons.
    void boxesAsTheProgramShowsThem()
    {
        if (!qEnvironmentVariableIsSet("PELLOWAY_SHOW_BOXES"))
            QSKIP("run by buttonsFollowTheDesktopLanguage in a child process");
        InstallQtTranslations();
        Fixture f;
        BoxAnswerer answer(QMessageBox::No);
        f.form->mhp->trigger();
        QCOMPARE(answer.seen.size(), 1);
        IdPassForm& account = f.form->idPassForm().get();
        QTextStream out(stdout);
        out << "SHOWN " << answer.seen[0] << u'|' << answer.buttons[0] << '\n';
        out << "SHOWN " << account.windowTitle() << u'|' << account.OKCommand->text() << u'|'
            << account.CancelCommand->text() << '\n';
    }

    // The tune's buttons and poll on the main window, with its loop box, and the event menu.
    void tuneAndEventOnDemand()
    {
        Fixture f;
        MainForm& m = *f.form;
        m.Command6->click();
        QCOMPARE(f.services.log.take(), QStringList({"mci:stop bgm", "mci:close bgm"}));
        QVERIFY(!m.Timer2->isActive());

        m.mhenkou->trigger(); // "再生" first, so the poll starts again
        const QString open = QStringLiteral("mci:open \"%1/Sound/Kouka.mid\" alias bgm").arg(f.app.path());
        QCOMPARE(f.services.log.take(), QStringList({open, "mci:play bgm", "character:show"}));
        QCOMPARE(m.shownPicture(), QStringLiteral("wife.gif"));
        QVERIFY(m.Timer2->isActive());

        // Any nonzero loop value loops.
        f.services.mci.statusAnswer = "stopped";
        m.Check1->setCheckState(Qt::PartiallyChecked);
        m.Timer2_Timer();
        QCOMPARE(f.services.log.take(), QStringList({"mci:status bgm mode", "mci:play bgm from 0"}));
        m.Check1->setCheckState(Qt::Unchecked);
        m.Timer2_Timer();
        QCOMPARE(f.services.log.take(),
                 QStringList({"mci:status bgm mode", "mci:stop bgm", "mci:close bgm"}));
        QVERIFY(!m.Timer2->isActive());

        m.Command4->click();
        QCOMPARE(f.services.log.take(), QStringList({open, "mci:play bgm"}));
        m.mebentend->trigger();
        QCOMPARE(f.services.log.take(), QStringList({"mci:stop bgm", "mci:close bgm", "character:unload"}));
        QCOMPARE(m.shownPicture(), QStringLiteral("infant.gif"));
        QVERIFY(m.Timer2->isActive()); // the end of the event leaves the poll running
    }

    void command1ShowsTheCharacter()
    {
        Fixture f;
        f.form->Command1->click();
        QCOMPARE(f.services.log.take(), QStringList({"character:show"}));
    }

    void compactSize()
    {
        Fixture f;
        MainForm& m = *f.form;
        const bool pollBefore = m.Timer2->isActive();
        m.Command2->click();
        QCOMPARE(f.services.log.take(), QStringList({"mci:stop bgm", "mci:close bgm"}));
        QCOMPARE(m.shownPicture(), QStringLiteral("Yatai.gif"));
        QCOMPARE(m.Picture2->size(), QSize(97, 97));
        // Outer 1555 x 1955 twips less the classic frame: 98 x 87 pixels of client.
        QCOMPARE(m.centralWidget()->size(), QSize(98, 87));
        QCOMPARE(m.Timer2->isActive(), pollBefore);
    }
};

QTEST_MAIN(TestMenus)
#include "test_menus.moc"
