// A NetworkManager that lists its connections and then answers each question about them only
// after five seconds holds the hang-up no longer than the listing's one deadline. Five seconds
// is far beyond that deadline and well within the 25 s a D-Bus call waits by default: a
// listing that waited for the answers would get them and find the three dial-ups.

#include "RasTestConnections.h"
#include "platform/linux/ras/NetworkManagerDialUp.h"
#include "platform/linux/ras/SystemRas.h"

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
        QVERIFY(m_mock.stopAnsweringActiveConnections(SilenceSeconds));

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
        // unanswered questions (the mock is still busy with the first listing's ones).
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(ras.RasEnumConnectionsA(table, bufferSize, count), 0u);
            QCOMPARE(count, 0u); // no type came back in time: nothing is taken for a dial-up
        }
        ras.Flush();
        qInfo("two listings against a silent NetworkManager: %lld ms (deadline %d ms each)",
              qlonglong(clock.elapsed()), NetworkManagerDialUp::ListingDeadlineMs);
    }

private:
    static constexpr int SilenceSeconds = 5;
    test::DBusMock m_mock;
};

QTEST_GUILESS_MAIN(TestRasDeadline)
#include "test_ras_deadline.moc"
