// The main window's "切断" with the real hang-up service against the NetworkManager mock:
// exactly the dial-up connections go, and the program's end waits for them to be sent.

#include "RasTestConnections.h"
#include "app/MainForm.h"
#include "platform/ras/PppdDialUp.h"
#include "platform/ras/SystemRas.h"
#include "settings/SettingsFiles.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QTest>

using namespace pelloway;

class TestRasMainForm : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(m_mock.startBus(), qPrintable(m_mock.error())); }

    void command5HangsUpDialUps()
    {
        // The service looks at the machine's pppd links too; a real one must not be touched.
        if (!FindHandStartedPppd().empty())
            QSKIP("a pppd runs on this machine; it is left alone");
        QVERIFY2(m_mock.startNetworkManager(), qPrintable(m_mock.error()));
        const QStringList active{"802-3-ethernet", "gsm",          "802-11-wireless", "bluetooth:panu", "vpn",
                                 "pppoe",          "bluetooth:dun"};
        const QMap<QString, QString> paths = test::ActivateAll(m_mock, active);
        QVERIFY2(paths.size() == active.size(), qPrintable(m_mock.error()));

        test::AppFolder app;
        test::RecordingServices services;
        SettingsFiles files(app.path(), app.file(QStringLiteral("vbmail.ini")));
        SystemRas ras;
        MainForm form(files, MainFormServices{services.pop3, services.mci, ras, services.character});
        int ended = 0;
        form.endProgramHook = [&] { ++ended; };

        form.Command5_Click();
        form.EndProgram(); // lets the queued hang-ups out before the program may end
        QCOMPARE(ended, 1);
        QCOMPARE(m_mock.deactivated(),
                 QStringList({paths.value(QStringLiteral("1-gsm")), paths.value(QStringLiteral("5-pppoe")),
                              paths.value(QStringLiteral("6-bluetooth:dun"))}));
        const QStringList left = m_mock.activeConnections();
        QCOMPARE(left.size(), 4);
        QVERIFY(left.contains(paths.value(QStringLiteral("0-802-3-ethernet"))));
        QVERIFY(left.contains(paths.value(QStringLiteral("4-vpn"))));
    }

private:
    test::DBusMock m_mock;
};

QTEST_MAIN(TestRasMainForm)
#include "test_ras_mainform.moc"
