// "常に前面表示" on an X server with a window manager: the window manager is asked to keep the
// main window above the others and to release it, on the one native window the program has
// shown from the start.

#include "app/MainForm.h"
#include "settings/SettingsFiles.h"
#include "support/BoxAnswerer.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"
#include "support/WindowManager.h"

#include <QGuiApplication>
#include <QTest>
#include <memory>

using namespace pelloway;
using namespace pelloway::test;

namespace {

// A property of a window as the X server holds it; empty when the window does not exist.
QString windowProperty(WId window, const QString& name)
{
    return RunProgram(QStringLiteral("xprop"),
                      {QStringLiteral("-id"), QString::number(window), QStringLiteral("-notype"), name});
}

} // namespace

class TestTopmostX11 : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<WindowManager> m_wm;

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != u"xcb")
            QSKIP("needs an X server (run through with-xvfb)");
        m_wm = std::make_unique<WindowManager>();
        QVERIFY2(m_wm->isRunning(), "openbox did not start");
    }

    void cleanupTestCase() { m_wm.reset(); }

    void chosenTwiceSetsAndClearsAboveOnTheSameWindow()
    {
        AppFolder app;
        RecordingServices services;
        SettingsFiles files{app.path(), app.file(QStringLiteral("vbmail.ini"))};
        files.StoreAccount(QStringLiteral("id"), QStringLiteral("pw"), true); // no dialogs at start-up
        WriteBytes(files.serverFilePath(), "POP3=pop.example\r\n");
        MainForm form(files, MainFormServices{services.pop3, services.mci, services.ras, services.character});
        form.endProgramHook = [] {};
        form.Form_Load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const WId native = form.winId();
        // The window manager has taken the window on.
        QTRY_VERIFY_WITH_TIMEOUT(windowProperty(native, QStringLiteral("WM_STATE")).contains(u"Normal"),
                                 10000);
        QVERIFY(!windowProperty(native, QStringLiteral("_NET_WM_STATE")).contains(u"_NET_WM_STATE_ABOVE"));

        BoxAnswerer answer(QMessageBox::Ok);
        form.mzenmen->trigger();
        QCOMPARE(answer.seen.size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(
            windowProperty(native, QStringLiteral("_NET_WM_STATE")).contains(u"_NET_WM_STATE_ABOVE"), 10000);
        QCOMPARE(form.winId(), native);

        form.mzenmen->trigger();
        QCOMPARE(answer.seen.size(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(
            !windowProperty(native, QStringLiteral("_NET_WM_STATE")).contains(u"_NET_WM_STATE_ABOVE"), 10000);
        QCOMPARE(form.winId(), native);
        // Still the window the window manager holds, and still shown.
        QVERIFY(windowProperty(native, QStringLiteral("WM_STATE")).contains(u"Normal"));
        QCOMPARE(form.topmostClickCount(), 2);
    }
};

QTEST_MAIN(TestTopmostX11)
#include "test_topmost_x11.moc"
