#include "app/MainForm.h"
#include "platform/Ansi.h"
#include "platform/Fonts.h"
#include "settings/IdPassForm.h"
#include "settings/OptionForm.h"
#include "settings/SettingsFiles.h"
#include "support/RecordingServices.h"
#include "support/ReferenceRendering.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGlyphRun>
#include <QLabel>
#include <QLineEdit>
#include <QMovie>
#include <QRawFont>
#include <QSet>
#include <QTest>
#include <QTextLayout>
#include <QTimer>

using namespace pelloway;

namespace {

struct Fixture
{
    test::AppFolder app;
    test::RecordingServices services;
    SettingsFiles files{app.path(), app.file(QStringLiteral("vbmail.ini"))};
    std::unique_ptr<MainForm> form;
    int ended = 0;

    MainForm& make()
    {
        form = std::make_unique<MainForm>(
            files, MainFormServices{services.pop3, services.mci, services.ras, services.character});
        form->endProgramHook = [this] { ++ended; };
        return *form;
    }
};

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { InstallFontSubstitutions(); }

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
        QVERIFY(form.WebBrowser1->movie() != nullptr);
        QVERIFY(form.Timer1->isActive() && form.Timer2->isActive() && form.Timer4->isActive());
        QCOMPARE(form.Timer1->interval(), 100);
        QCOMPARE(form.Timer2->interval(), 100);
        QCOMPARE(form.Timer4->interval(), 20);
        QCOMPARE(form.Text1->text(), QStringLiteral("Text1"));
        QCOMPARE(form.Text4->text(), QStringLiteral("Text4"));
        QVERIFY(form.Check1->isChecked());
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
        QCOMPARE(form.Timer3->interval(), 1000);
        QCOMPARE(form.Timer3->timerType(), Qt::PreciseTimer);

        // The client shows the picture area and the banner, here with the interval on ("ON",
        // ticked, "5") and the caption 40 ticks into its run from the right edge.
        for (int i = 0; i < 40; ++i)
            form.Timer4_Timer();
        const QString difference =
            test::CompareWithReference(&form, QStringLiteral("app"), QStringLiteral("MainForm"));
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QCOMPARE(form.windowTitle(), QStringLiteral("Pelloway"));
        QVERIFY(!(form.windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
        QVERIFY(!form.windowIcon().isNull());
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
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
