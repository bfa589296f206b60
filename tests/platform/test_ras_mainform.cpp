// The main window's "切断" with the real hang-up service against the NetworkManager mock and
// a /proc of the test's own: exactly the dial-up connections and the hand-started pppd go,
// and the program's end waits for them to be sent.

#include "RasTestConnections.h"
#include "app/MainForm.h"
#include "platform/linux/ras/NetworkManagerDialUp.h"
#include "platform/linux/ras/PppdDialUp.h"
#include "platform/linux/ras/SystemRas.h"
#include "settings/SettingsFiles.h"
#include "support/FakeProc.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QTest>
#include <csignal>
#include <sys/wait.h>

using namespace pelloway;

class TestRasMainForm : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(m_mock.startBus(), qPrintable(m_mock.error())); }

    void command5HangsUpDialUps()
    {
        // A pppd of the test's /proc, and one outside it that stands for the machine's own.
        test::FakeProc proc;
        QVERIFY(proc.isValid());
        const pid_t listed = proc.startPppd();
        const pid_t machines = proc.startPppd();
        QVERIFY(listed > 0 && machines > 0 && proc.link(listed));
        QVERIFY2(m_mock.startNetworkManager(), qPrintable(m_mock.error()));
        const QStringList active{"802-3-ethernet", "gsm",          "802-11-wireless", "bluetooth:panu", "vpn",
                                 "pppoe",          "bluetooth:dun"};
        const QMap<QString, QString> paths = test::ActivateAll(m_mock, active);
        QVERIFY2(paths.size() == active.size(), qPrintable(m_mock.error()));

        test::AppFolder app;
        test::RecordingServices services;
        SettingsFiles files(app.path(), app.file(QStringLiteral("vbmail.ini")));
        std::vector<std::unique_ptr<DialUpSource>> sources;
        sources.push_back(std::make_unique<NetworkManagerDialUp>());
        sources.push_back(std::make_unique<PppdDialUp>(proc.root()));
        SystemRas ras(std::move(sources));
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
        const int status = proc.reap(listed);
        QVERIFY2(status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM,
                 "the pppd link stayed up");
        QCOMPARE(test::ProcState(machines), 'S');
    }

private:
    test::DBusMock m_mock;
};

QTEST_MAIN(TestRasMainForm)
#include "test_ras_mainform.moc"
