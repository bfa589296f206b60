// NetworkManager's dial-up connections, against NetworkManager's D-Bus API as python3-dbusmock
// serves it on a private bus.

#include "RasTestConnections.h"
#include "platform/linux/ras/NetworkManagerDialUp.h"
#include "platform/linux/ras/SystemRas.h"

#include <QTest>

using namespace pelloway;

namespace {

// The hang-up service with NetworkManager as its only source: real pppd links stay untouched.
SystemRas networkManagerOnly()
{
    std::vector<std::unique_ptr<DialUpSource>> sources;
    sources.push_back(std::make_unique<NetworkManagerDialUp>());
    return SystemRas(std::move(sources));
}

// The main window's way: list, hang up each, then wait for the hang-ups to arrive.
QStringList hangUpAll(SystemRas& ras, unsigned& result)
{
    std::vector<RasConn> table(256);
    table[0].dwSize = RasConnSize;
    std::uint32_t bufferSize = table[0].dwSize * 256;
    std::uint32_t count = 0;
    result = ras.RasEnumConnectionsA(table, bufferSize, count);
    QStringList names;
    if (result != 0)
        return names;
    for (std::uint32_t i = 0; i < count; ++i) {
        names << table[i].entryName;
        ras.RasHangUpA(table[i].hrasconn);
    }
    ras.Flush();
    return names;
}

} // namespace

class TestRasNetworkManager : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // Before anything in this process touches the system bus.
        QVERIFY2(m_mock.startBus(), qPrintable(m_mock.error()));
    }

    void dialUpsOnly_data()
    {
        QTest::addColumn<QStringList>("active");
        QTest::addColumn<QStringList>("hungUp"); // ids, in listing order

        QTest::newRow("gsm, pppoe and ethernet")
            << QStringList{"gsm", "pppoe", "802-3-ethernet"} << QStringList{"0-gsm", "1-pppoe"};
        QTest::newRow("cdma and adsl") << QStringList{"cdma", "adsl"} << QStringList{"0-cdma", "1-adsl"};
        QTest::newRow("bluetooth dun, not panu")
            << QStringList{"bluetooth:panu", "bluetooth:dun"} << QStringList{"1-bluetooth:dun"};
        QTest::newRow("bluetooth without a profile type") << QStringList{"bluetooth:"} << QStringList{};
        QTest::newRow("wifi, vpn and wireguard untouched")
            << QStringList{"802-11-wireless", "vpn", "wireguard", "gsm"} << QStringList{"3-gsm"};
        QTest::newRow("going down or gone skipped")
            << QStringList{"gsm@3", "pppoe@4", "cdma@1"} << QStringList{"2-cdma@1"};
        QTest::newRow("types by exact name") << QStringList{"GSM", "gsm-x", "pppoe2"} << QStringList{};
        QTest::newRow("nothing active") << QStringList{} << QStringList{};
    }
    void dialUpsOnly()
    {
        QFETCH(QStringList, active);
        QFETCH(QStringList, hungUp);
        QVERIFY2(m_mock.startNetworkManager(), qPrintable(m_mock.error()));
        const QMap<QString, QString> paths = test::ActivateAll(m_mock, active);
        QVERIFY2(paths.size() == active.size(), qPrintable(m_mock.error()));

        SystemRas ras = networkManagerOnly();
        unsigned result = 1;
        QCOMPARE(hangUpAll(ras, result), hungUp);
        QCOMPARE(result, 0u);
        QStringList expected;
        for (const QString& id : hungUp)
            expected << paths.value(id);
        QCOMPARE(m_mock.deactivated(), expected);
    }

    // No NetworkManager on the bus: nothing listed, nothing sent, and a NetworkManager that
    // comes later is found by the same service.
    void noNetworkManager()
    {
        m_mock.stopNetworkManager();
        SystemRas ras = networkManagerOnly();
        unsigned result = 1;
        QCOMPARE(hangUpAll(ras, result), QStringList());
        QCOMPARE(result, 0u);

        QVERIFY2(m_mock.startNetworkManager(), qPrintable(m_mock.error()));
        const QMap<QString, QString> paths = test::ActivateAll(m_mock, {QStringLiteral("gsm")});
        QVERIFY2(!paths.isEmpty(), qPrintable(m_mock.error()));
        QCOMPARE(hangUpAll(ras, result), QStringList{QStringLiteral("0-gsm")});
        QCOMPARE(m_mock.deactivated(), QStringList{paths.first()});
    }

    void cleanupTestCase() { m_mock.stopNetworkManager(); }

private:
    test::DBusMock m_mock;
};

QTEST_GUILESS_MAIN(TestRasNetworkManager)
#include "test_ras_networkmanager.moc"
