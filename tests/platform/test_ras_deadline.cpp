// A NetworkManager that lists its connections and then stops answering holds the hang-up no
// longer than the listing's one deadline. This test's time-out in CTest is far below the
// 25 s a D-Bus call would wait by default, and the mock stays silent for a minute.

#include "RasTestConnections.h"
#include "platform/ras/NetworkManagerDialUp.h"
#include "platform/ras/SystemRas.h"

#include <QElapsedTimer>
#include <QTest>

using namespace pelloway;

class TestRasDeadline : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(m_mock.startBus(), qPrintable(m_mock.error())); }

    void silentAfterListing()
    {
        QVERIFY2(m_mock.startNetworkManager(), qPrintable(m_mock.error()));
        const QMap<QString, QString> paths = test::ActivateAll(
            m_mock, {QStringLiteral("gsm"), QStringLiteral("pppoe"), QStringLiteral("cdma")});
        QVERIFY2(paths.size() == 3, qPrintable(m_mock.error()));
        QVERIFY(m_mock.stopAnsweringActiveConnections(60));

        std::vector<std::unique_ptr<DialUpSource>> sources;
        sources.push_back(std::make_unique<NetworkManagerDialUp>());
        SystemRas ras(std::move(sources));
        std::vector<RasConn> table(256);
        table[0].dwSize = RasConnSize;
        std::uint32_t bufferSize = 256 * RasConnSize;
        std::uint32_t count = 99;
        QElapsedTimer clock;
        clock.start();
        // Two listings in a row: each has its own deadline, neither waits for the other's
        // unanswered questions.
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(ras.RasEnumConnectionsA(table, bufferSize, count), 0u);
            QCOMPARE(count, 0u); // no type came back: nothing is taken for a dial-up
        }
        ras.Flush();
        qInfo("two listings against a silent NetworkManager: %lld ms (deadline %d ms each)",
              qlonglong(clock.elapsed()), NetworkManagerDialUp::ListingDeadlineMs);
    }

private:
    test::DBusMock m_mock;
};

QTEST_GUILESS_MAIN(TestRasDeadline)
#include "test_ras_deadline.moc"
