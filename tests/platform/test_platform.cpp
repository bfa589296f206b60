// The one place that picks the platform: this machine's services, or stand-ins that reach
// nothing outside the process.

#include "mail/NMailLibrary.h"
#include "platform/Platform.h"
#include "platform/QuietPlatform.h"
#include "platform/linux/mci/SequencerMci.h"
#include "platform/linux/notify/DesktopNotifications.h"
#include "platform/linux/ras/SystemRas.h"

#include <QTemporaryDir>
#include <QTest>

using namespace pelloway;

class TestPlatform : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // Nothing is asked of the services here; should one reach out, it finds no bus and no
        // dial-up link of this machine.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/session_bus");
        qputenv("PELLOWAY_PROC_ROOT", QFile::encodeName(m_proc.path()));
    }

    void machineServices()
    {
        const PlatformServices services = CreatePlatform();
        QVERIFY(dynamic_cast<NMailLibrary*>(services.pop3.get()));
        QVERIFY(dynamic_cast<SequencerMci*>(services.mci.get()));
        QVERIFY(dynamic_cast<SystemRas*>(services.ras.get()));
        QVERIFY(dynamic_cast<DesktopNotifications*>(services.notifications.get()));
        QCOMPARE(services.stacking, &SystemWindowStacking());
        QVERIFY(services.bannerStrip);
    }

    void quietServices()
    {
        const PlatformServices services = CreateQuietPlatform();
        QVERIFY(dynamic_cast<UnavailablePop3Library*>(services.pop3.get()));
        QVERIFY(dynamic_cast<NoMci*>(services.mci.get()));
        QVERIFY(dynamic_cast<NoRas*>(services.ras.get()));
        QVERIFY(dynamic_cast<NoNotifications*>(services.notifications.get()));
        QCOMPARE(services.stacking, &SystemWindowStacking());
        QVERIFY(dynamic_cast<PaintedBannerStrip*>(services.bannerStrip(nullptr, nullptr).get()));
    }

private:
    QTemporaryDir m_proc;
};

QTEST_MAIN(TestPlatform)
#include "test_platform.moc"
