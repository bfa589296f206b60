// NetworkManager's dial-up connections, against NetworkManager's D-Bus API as python3-dbusmock
// serves it on a private bus. Connections are written "type[:bluetooth type][@state]", e.g.
// "gsm", "bluetooth:dun", "pppoe@3".

#include "platform/linux/ras/NetworkManagerDialUp.h"
#include "platform/linux/ras/SystemRas.h"
#include "support/DBusMock.h"

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

// Activates each connection on the mock, with the id "<index>-<type>"; returns the active
// connections' paths by id, or an empty map (see mock.error()) on failure.
QMap<QString, QString> activateAll(test::DBusMock& mock, const QStringList& specs)
{
    QMap<QString, QString> paths;
    for (qsizetype i = 0; i < specs.size(); ++i) {
        QString type = specs[i];
        uint state = 2;
        if (const qsizetype at = type.indexOf(u'@'); at >= 0) {
            state = type.mid(at + 1).toUInt();
            type.truncate(at);
        }
        test::ConnectionSettings extra;
        if (const qsizetype colon = type.indexOf(u':'); colon >= 0) {
            extra[QStringLiteral("bluetooth")] = {
                {QStringLiteral("bdaddr"), QByteArray("\x00\x1a\x7d\xda\x71\x13", 6)},
                {QStringLiteral("type"), type.mid(colon + 1)}};
            type.truncate(colon);
        }
        const QString id = QString::number(i) + u'-' + specs[i];
        const QString path = mock.activate(type, id, state, extra);
        if (path.isEmpty())
            return {};
        paths.insert(id, path);
    }
    return paths;
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
        const QMap<QString, QString> paths = activateAll(m_mock, active);
        QVERIFY2(paths.size() == active.size(), qPrintable(m_mock.error()));

        SystemRas ras = networkManagerOnly();
        HangUpAll(ras);
        ras.Flush();
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
        std::vector<RasConn> table(256);
        table[0].dwSize = RasConnSize;
        std::uint32_t bufferSize = 256 * RasConnSize;
        std::uint32_t count = 99;
        QCOMPARE(ras.RasEnumConnectionsA(table, bufferSize, count), 0u);
        QCOMPARE(count, 0u);

        QVERIFY2(m_mock.startNetworkManager(), qPrintable(m_mock.error()));
        const QMap<QString, QString> paths = activateAll(m_mock, {QStringLiteral("gsm")});
        QVERIFY2(!paths.isEmpty(), qPrintable(m_mock.error()));
        HangUpAll(ras);
        ras.Flush();
        QCOMPARE(m_mock.deactivated(), QStringList{paths.first()});
    }

    // A NetworkManager that lists its connections and then answers each question about them
    // only after five seconds: far beyond the listing's deadline and well within the 25 s a
    // D-Bus call waits by default, so a listing that waited for the answers would find the
    // three dial-ups. Two listings in a row each keep their own deadline.
    void silentAfterListing()
    {
        QVERIFY2(m_mock.startNetworkManager(), qPrintable(m_mock.error()));
        const QMap<QString, QString> paths =
            activateAll(m_mock, {QStringLiteral("gsm"), QStringLiteral("pppoe"), QStringLiteral("cdma")});
        QVERIFY2(paths.size() == 3, qPrintable(m_mock.error()));
        QVERIFY(m_mock.stopAnsweringActiveConnections(5));

        SystemRas ras = networkManagerOnly();
        std::vector<RasConn> table(256);
        table[0].dwSize = RasConnSize;
        std::uint32_t bufferSize = 256 * RasConnSize;
        for (int i = 0; i < 2; ++i) {
            std::uint32_t count = 99;
            QCOMPARE(ras.RasEnumConnectionsA(table, bufferSize, count), 0u);
            QCOMPARE(count, 0u); // no type came back in time: nothing is taken for a dial-up
        }
    }

    void cleanupTestCase() { m_mock.stopNetworkManager(); }

private:
    test::DBusMock m_mock;
};

QTEST_GUILESS_MAIN(TestRasNetworkManager)
#include "test_ras_networkmanager.moc"
