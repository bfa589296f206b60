// The main window offscreen over recording services: start-up, the menus and buttons, check
// scheduling tick by tick (the handlers are called, nothing waits), the end, and the pictures
// it shows.

#include "app/MainForm.h"
#include "mail/CheckCycle.h"
#include "platform/BannerStrip.h"
#include "platform/Fonts.h"
#include "platform/QtTranslations.h"
#include "platform/Twips.h"
#include "platform/linux/x11/X11BannerStrip.h"
#include "settings/DialogTyping.h"
#include "settings/IdPassForm.h"
#include "settings/OptionForm.h"
#include "settings/SetForm.h"
#include "settings/SettingsFiles.h"
#include "support/BoxAnswerer.h"
#include "support/RecordingServices.h"
#include "support/ReferenceRendering.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGlyphRun>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QMovie>
#include <QProcess>
#include <QPushButton>
#include <QRawFont>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTextLayout>
#include <QTextStream>
#include <QTimer>
#include <QWindow>
#include <cmath>
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
    int ended = 0;
    QStringList failureLines;

    // The main window, not loaded yet, with the report's one-second wait taken out. Stacking
    // requests are recorded unless the window system's own is asked for.
    MainForm& make(bool systemStacking = false)
    {
        WindowStacking& stacking = systemStacking ? SystemWindowStacking() : services.stacking;
        form = std::make_unique<MainForm>(
            files, MainFormServices{services.pop3, services.mci, services.ras, services.character, stacking});
        form->endProgramHook = [this] { ++ended; };
        form->checkCycle().wait = [](int) {};
        form->checkCycle().failureLine = [this](const QString& line) { failureLines << line; };
        return *form;
    }

    // Loaded with an account and a server saved, so that no dialog opens; the log starts empty.
    MainForm& loaded(bool systemStacking = false)
    {
        files.StoreAccount(QStringLiteral("id"), QStringLiteral("pw"), true);
        test::WriteBytes(files.serverFilePath(), "POP3=pop.example\r\n");
        make(systemStacking).Form_Load();
        services.log.take();
        return *form;
    }

    // Not loaded, with a server whose every connect fails, for counting checks.
    MainForm& scheduled()
    {
        make();
        services.pop3.connectResult = -1;
        form->values().PopServer = QStringLiteral("pop.test");
        return *form;
    }
    int connects() const { return int(services.log.with(QStringLiteral("pop3:connect")).size()); }

    // Runs `count` seconds; gives the seconds (counted from 1 over the fixture's life) at which
    // a check started.
    QList<int> run(int count)
    {
        QList<int> checks;
        for (int i = 0; i < count; ++i) {
            const int before = connects();
            // One second: the counting tick, then the ten trigger ticks of that second.
            form->Timer3_Timer();
            for (int k = 0; k < 10; ++k)
                form->Timer1_Timer();
            ++m_seconds;
            for (int k = before; k < connects(); ++k)
                checks << m_seconds;
        }
        return checks;
    }

private:
    int m_seconds = 0;
};

// Relative luminance of an sRGB colour, as used for text contrast.
double Luminance(QColor c)
{
    auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double Contrast(QColor a, QColor b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT
private slots:
    // The main window registers the built-in pictures itself (they live in a static library)
    // and puts them in place: the window icon (the dialogs' too), the four picture buttons;
    // the banner strip shows in startWithSavedSettings' rendering.
    void initTestCase()
    {
        InstallFontSubstitutions(); // as the program does, for the reference rendering
        Fixture f;
        MainForm& form = f.make();
        const QImage icon = form.windowIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
        QVERIFY(!icon.isNull());
        for (QWidget* dialog : std::initializer_list<QWidget*>{
                 &form.setForm().get(), &form.optionForm().get(), &form.idPassForm().get()})
            QCOMPARE(dialog->windowIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32),
                     icon);
        for (QPushButton* button : {form.Picture7, form.Picture1, form.Picture10, form.Picture8}) {
            QVERIFY(!button->icon().isNull());
            QCOMPARE(button->icon().pixmap(22, 22).size(), QSize(22, 22));
        }
        // What shows of the picture area at the run-time size: the client's width, down to
        // the banner.
        form.Form_Load();
        m_pictureArea =
            QSize(std::min(form.Picture2->width(), form.centralWidget()->width()), form.Picture4->y());
    }

    void firstStartWithNoFiles()
    {
        Fixture f;
        MainForm& form = f.make();
        form.Form_Load();

        QCOMPARE(f.services.log.entries(),
                 QStringList({"character:show", "character:hide", "pop3:init", "pop3:option(1,8192)",
                              "mci:stop bgm", "mci:close bgm"}));
        QCOMPARE(form.Label2_1->text(), QStringLiteral("OFF"));
        QCOMPARE(form.Text5->text(), QStringLiteral("0"));
        QVERIFY(!form.Check3->isChecked());
        QVERIFY(!form.Timer3->isActive());
        QVERIFY(form.optionForm().isLoaded() && form.optionForm().loadedForm()->isVisible());
        QVERIFY(form.idPassForm().isLoaded() && form.idPassForm().loadedForm()->isVisible());
        QVERIFY(form.setForm().isLoaded() && !form.setForm().loadedForm()->isVisible());
        QCOMPARE(form.shownPicture(), QStringLiteral("infant.gif"));
        QVERIFY(form.Timer1->isActive() && form.Timer2->isActive() && form.Timer4->isActive());
    }

    void startWithSavedSettings()
    {
        Fixture f;
        QVERIFY(
            test::WriteBytes(f.files.serverFilePath(), "SMTP=s\r\nPOP3=pop.example\r\nMAIL=m\r\nAPOP=1\r\n"));
        QVERIFY(test::WriteBytes(f.files.iniPath(), "[EXEINI]\r\nNUMBER=1\r\nNUMBER2=5\r\n"));
        f.files.StoreAccount(QStringLiteral("taro"), QStringLiteral("secret"), true);
        MainForm& form = f.make();
        form.Form_Load();

        QCOMPARE(form.values().PopServer, QStringLiteral("pop.example"));
        QCOMPARE(int(form.values().ApopFlag), 1);
        QVERIFY(!form.optionForm().isLoaded());
        QVERIFY(form.idPassForm().isLoaded());
        QVERIFY(!form.idPassForm().loadedForm()->isVisible());
        QCOMPARE(form.idPassForm().loadedForm()->IdText->text(), QStringLiteral("taro"));
        QCOMPARE(form.HangUpChoice(), 1);
        QVERIFY(form.Timer3->isActive());

        // The client shows the picture area and the banner, here with the interval on ("ON",
        // ticked, "5") and the caption 40 ticks into its run from the right edge.
        for (int i = 0; i < 40; ++i)
            form.Timer4_Timer();
        const QString difference =
            test::CompareWithReference(&form, QStringLiteral("app"), QStringLiteral("MainForm"));
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QVERIFY(!(form.windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
    }

    // With both saved the dialog stays hidden (startWithSavedSettings).
    void accountDialogOpensWhenEitherFieldIsEmpty_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("password");
        QTest::newRow("no password") << QStringLiteral("a") << QString();
        QTest::newRow("no id") << QString() << QStringLiteral("b");
    }
    void accountDialogOpensWhenEitherFieldIsEmpty()
    {
        QFETCH(QString, id);
        QFETCH(QString, password);
        Fixture f;
        f.files.StoreAccount(id, password, true);
        f.make().Form_Load();
        QVERIFY(f.form->idPassForm().loadedForm()->isVisible());
    }

    // Japanese text in the desktop's own font (the menus) is drawn from the face that stands
    // in for the design font, so the window loads one Japanese face, not two.
    void japaneseTextTakesOneFace()
    {
        QSet<QString> faces;
        for (const QFont& font : {QApplication::font(), DesignFont(9), DesignFont(8.25, true)}) {
            QTextLayout layout(QStringLiteral("ファイル画像インターバルチェック分"), font);
            layout.beginLayout();
            layout.createLine();
            layout.endLayout();
            for (const QGlyphRun& run : layout.glyphRuns())
                faces.insert(run.rawFont().familyName().toLower());
        }
        QCOMPARE(faces, QSet<QString>{QStringLiteral("ipapgothic")});
    }

    void missingPictureLeavesTheAreaEmpty()
    {
        Fixture f;
        MainForm& form = f.make();
        form.ShowPicture(QStringLiteral("wife.gif"));
        QVERIFY(form.WebBrowser1->movie() != nullptr);
        QVERIFY(form.WebBrowser1->movie()->isValid());
        form.ShowPicture(QStringLiteral("nothing-here.gif"));
        QVERIFY(form.WebBrowser1->movie() == nullptr);
        QVERIFY(form.WebBrowser1->pixmap().isNull());
    }

    void shutdownSteps()
    {
        Fixture f;
        MainForm& form = f.make();
        form.Form_Load();
        form.setForm()->SetHangUpChoice(1);
        form.setForm()->SetIntervalText(QStringLiteral("7"));
        f.services.log.take();

        form.close();

        QCOMPARE(f.services.log.entries(),
                 QStringList({"mci:stop bgm", "mci:close bgm", "pop3:end", "ras:flush"}));
        QVERIFY(!form.Timer2->isActive());
        QCOMPARE(f.ended, 1);
        // Ending with the settings dialog loaded keeps what it holds.
        QCOMPARE(f.files.ReadHangUpChoice(), 1);
        QCOMPARE(f.files.ReadIntervalMinutes(), 7);
    }

    void checkMenuRunsTheCheck()
    {
        Fixture f;
        f.loaded();
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
        f.loaded();
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
        MainForm& m = f.loaded();
        BoxAnswerer answer(QMessageBox::Ok);
        QStringList whileBoxOpen;
        answer.onBox = [&] { whileBoxOpen += f.services.log.entries(); }; // the stacking comes after
        const QString info = QString::number(int(QMessageBox::Information));
        m.mzenmen->trigger();
        QCOMPARE(f.services.log.take(), QStringList({"stacking:topmost(Pelloway)"}));
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
    // was. (The window manager's side is seen on X11 in test_banner_strip.)
    void alwaysOnTopShowsAndKeepsTheNativeWindow()
    {
        Fixture f;
        MainForm& m = f.loaded(true);
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
        f.loaded();
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
        f.loaded();
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        BoxAnswerer answerer{QMessageBox::StandardButton(answer)};
        const QString before = f.form->windowTitle();
        f.form->mhp->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(answerer.seen.size(), 1); // its text: buttonsFollowTheDesktopLanguage
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
        f.loaded();
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
        MainForm& m = f.loaded();
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
        f.loaded();
        f.form->Command1->click();
        QCOMPARE(f.services.log.take(), QStringList({"character:show"}));
    }

    void compactSize()
    {
        Fixture f;
        MainForm& m = f.loaded();
        const bool pollBefore = m.Timer2->isActive();
        m.Command2->click();
        QCOMPARE(f.services.log.take(), QStringList({"mci:stop bgm", "mci:close bgm"}));
        QCOMPARE(m.shownPicture(), QStringLiteral("Yatai.gif"));
        QCOMPARE(m.Timer2->isActive(), pollBefore);
    }

    // From start-up (counters "Text1"/"Text4", i.e. 0), a counted minute takes 61 ticks; a
    // positive interval fires at the counted minute that brings the count to or past it, and
    // the count starts again from 0 there. Zero and negative intervals never fire, and the
    // minute count goes on. (What a text is worth, "5分" or "abc": test_runtime.)
    void cadence_data()
    {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QList<int>>("checks");
        QTest::newRow("1") << "1" << 200 << QList<int>{61, 122, 183};
        QTest::newRow("1.5 fires at 2") << "1.5" << 250 << QList<int>{122, 244};
        QTest::newRow("0: off") << "0" << 400 << QList<int>{};
        QTest::newRow("negative: never") << "-5" << 400 << QList<int>{};
    }
    void cadence()
    {
        QFETCH(QString, interval);
        QFETCH(int, seconds);
        QFETCH(QList<int>, checks);
        Fixture f;
        MainForm& form = f.scheduled();
        form.setForm()->SetIntervalText(interval);
        QCOMPARE(f.run(seconds), checks);
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
    }
    void intervalChanges()
    {
        QFETCH(QString, first);
        QFETCH(int, before);
        QFETCH(QString, keys);
        QFETCH(int, after);
        QFETCH(QList<int>, checks);
        Fixture f;
        MainForm& form = f.scheduled();
        form.setForm().show();
        QLineEdit* box = form.setForm()->Text2;
        test::Retype(box, first);
        QCOMPARE(f.run(before), QList<int>{});
        const QString countBefore = form.Text1->text();

        box->setFocus();
        box->selectAll();
        for (const QChar key : keys) {
            QTest::keyClicks(box, QString(key));
            for (int i = 0; i < 10; ++i)
                form.Timer1_Timer(); // a second of trigger ticks between two keys
            QCOMPARE(f.connects(), 0);
        }
        QCOMPARE(box->text(), keys);
        QCOMPARE(form.Text1->text(), countBefore); // the change kept the counters
        QCOMPARE(f.run(after), checks);
        for (const int second : checks)
            QCOMPARE_GE(second, before + 1);
    }

    // The user closes the settings dialog: the next trigger tick loads it again, hidden, from
    // the file, and scheduling goes on with what it reads there.
    void closedDialogComesBackFromTheFile()
    {
        Fixture f;
        MainForm& form = f.scheduled();
        form.setForm().show();
        SetForm* dialog = form.setForm().loadedForm();
        test::Retype(dialog->Text2, QStringLiteral("1.5"));
        QVERIFY(dialog->close());
        QVERIFY(!form.setForm().isLoaded());

        form.Timer1_Timer();
        QVERIFY(form.setForm().isLoaded());
        QVERIFY(!form.setForm().loadedForm()->isVisible());
        QCOMPARE(form.Text5->text(), QStringLiteral("1"));
        QCOMPARE(f.run(130), (QList<int>{61, 122}));
    }

    // Timer4: -20 twips a tick from 1440; at -1500 (the 147th tick) it jumps back on the next.
    // Off X11 (the offscreen platform here) the strip is Qt's painting: each tick moves the
    // caption widget itself. (Under X11 test_banner_strip compares both.)
    void bannerScrolls()
    {
        Fixture f;
        MainForm& form = f.scheduled();
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
    }

    // A main window closed while ini.ini cannot be written: the box names it, the program goes
    // on with the dialog in front holding what was typed. The end of the session (a signal)
    // ends it anyway, saying why on standard error only.
    void failedSaveAtTheEnd()
    {
        Fixture f;
        MainForm& form = f.scheduled();
        QVERIFY(QDir().mkpath(f.files.iniPath()));
        test::BoxAnswerer answerer(QMessageBox::Ok);
        form.setForm().show();
        SetForm* dialog = form.setForm().loadedForm();
        test::Retype(dialog->Text2, QStringLiteral("7"));

        QVERIFY(!form.close());
        QCOMPARE(f.ended, 0);
        QCOMPARE(answerer.seen.size(), 1);
        QVERIFY(answerer.seen.first().contains(QDir::toNativeSeparators(f.files.iniPath())));
        QCOMPARE(form.setForm().loadedForm(), dialog);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->Text2->text(), QStringLiteral("7"));
        form.EndProgram(); // the bird's right click: the same
        QCOMPARE(f.ended, 0);
        QCOMPARE(answerer.seen.size(), 2);

        form.EndForSession();
        QCOMPARE(f.ended, 1);
        QCOMPARE(answerer.seen.size(), 2);
        QVERIFY(QFileInfo(f.files.iniPath()).isDir());
    }

    // The main window's tooltip tells when the last check ran, its result and why it failed,
    // in the words of the standard-error line.
    void tooltipTellsTheLastCheck()
    {
        Fixture f;
        MainForm& form = f.scheduled();
        QVERIFY(!form.toolTip().contains(u"結果"));
        const QRegularExpression time(
            QStringLiteral("最後のチェック: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\n"));

        form.Picture7_Click();
        QCOMPARE(f.failureLines.size(), 1);
        QVERIFY2(form.toolTip().contains(time), qPrintable(form.toolTip()));
        QVERIFY2(
            form.toolTip().endsWith(QStringLiteral("結果: メールサーバーに接続できませんでした。\n理由: ") +
                                    f.failureLines.last()),
            qPrintable(form.toolTip()));
    }

    void dataFolderPictures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::newRow("quiet") << QStringLiteral("infant.gif") << m_pictureArea;
        QTest::newRow("new mail") << QStringLiteral("wife.gif") << m_pictureArea;
        // the compact size narrows the picture area to 1455 x 1455 twips
        QTest::newRow("compact") << QStringLiteral("Yatai.gif") << QSize(97, 97);
    }

    // Every frame has the size of the picture area that shows and covers it completely (the
    // area behind is white); an animation loops for good and never asks for a zero delay,
    // which would keep the UI thread busy redrawing.
    void dataFolderPictures()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QMovie movie(test::SourceDir() + QStringLiteral("/assets/★MailData/") + name);
        movie.setCacheMode(QMovie::CacheAll);
        QVERIFY2(movie.isValid(), qPrintable(movie.lastErrorString()));
        QVERIFY(movie.frameCount() >= 1);
        if (movie.frameCount() > 1)
            QCOMPARE(movie.loopCount(), -1);
        for (int i = 0; i < movie.frameCount(); ++i) {
            QVERIFY(movie.jumpToFrame(i));
            const QImage frame = movie.currentImage();
            QCOMPARE(frame.size(), size);
            for (int y = 0; y < frame.height(); ++y)
                for (int x = 0; x < frame.width(); ++x)
                    QVERIFY2(
                        qAlpha(frame.pixel(x, y)) == 255,
                        qPrintable(QStringLiteral("frame %1 pixel %2,%3 not opaque").arg(i).arg(x).arg(y)));
            if (movie.frameCount() > 1)
                QVERIFY2(movie.nextFrameDelay() >= 20, qPrintable(QString::number(movie.nextFrameDelay())));
        }
    }

    // The banner strip: 397 x 65 without alpha, and dark enough under the scrolling green
    // caption (its top-left 105 x 17 pixels) for the text to read at every pixel.
    void bannerPicture()
    {
        const QImage banner(QStringLiteral(":/pelloway/banner.png"));
        QCOMPARE(banner.size(), QSize(397, 65));
        QVERIFY(!banner.hasAlphaChannel());
        QVERIFY(!banner.isGrayscale());
        const QColor green(0x00, 0xFF, 0x00);
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 105; ++x) {
                const double ratio = Contrast(banner.pixelColor(x, y), green);
                QVERIFY2(ratio >= 7.0, qPrintable(QStringLiteral("%1,%2: %3").arg(x).arg(y).arg(ratio)));
            }
    }

    // One icon per theme size, square, with an alpha channel for its rounded corners; the
    // 32-pixel one is the same picture as the window icon.
    void desktopIcons()
    {
        for (int size : {16, 32, 48, 64, 128, 256}) {
            const QString path =
                test::SourceDir() + QStringLiteral("/assets/icons/hicolor/%1x%1/apps/pelloway.png").arg(size);
            const QImage icon(path);
            QVERIFY2(!icon.isNull(), qPrintable(path));
            QCOMPARE(icon.size(), QSize(size, size));
            QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(icon.pixel(size / 2, size / 2)), 255);
        }
        const QImage icon32(test::SourceDir() +
                            QStringLiteral("/assets/icons/hicolor/32x32/apps/pelloway.png"));
        QCOMPARE(icon32.convertToFormat(QImage::Format_ARGB32),
                 QImage(QStringLiteral(":/pelloway/pelloway.png")).convertToFormat(QImage::Format_ARGB32));
    }

private:
    QSize m_pictureArea;
};

QTEST_MAIN(TestMainForm)
#include "test_main_form.moc"
