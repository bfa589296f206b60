// The hang-up walk over the connection table, and the combined hang-up service: the table
// limit, handles across sources and listings.

#include "platform/linux/ras/SystemRas.h"
#include "support/RecordingServices.h"

#include <QTest>

using namespace pelloway;

namespace {

// A source with a fixed number of links; records what the service asks of it.
class CountingSource final : public DialUpSource
{
public:
    CountingSource(QString name, int links) : m_name(std::move(name)), m_links(links) {}
    std::vector<DialUpLink> List(QDeadlineTimer) override
    {
        ++listings;
        std::vector<DialUpLink> out;
        for (int i = 0; i < m_links; ++i)
            out.push_back(
                {m_name + QString::number(i), QStringLiteral("modem"), QString(), std::size_t(100 + i)});
        return out;
    }
    bool HangUp(std::size_t key) override
    {
        hungUp << m_name + QString::number(key - 100);
        return true;
    }
    void Release() override { ++releases; }
    void Flush() override { ++flushes; }

    int listings = 0;
    int releases = 0;
    int flushes = 0;
    QStringList hungUp;

private:
    QString m_name;
    int m_links;
};

struct Service
{
    CountingSource* nm;
    CountingSource* pppd;
    std::unique_ptr<SystemRas> ras;
};

Service makeService(int nmLinks, int pppdLinks)
{
    auto nm = std::make_unique<CountingSource>(QStringLiteral("nm"), nmLinks);
    auto pppd = std::make_unique<CountingSource>(QStringLiteral("pppd"), pppdLinks);
    Service service{nm.get(), pppd.get(), nullptr};
    std::vector<std::unique_ptr<DialUpSource>> sources;
    sources.push_back(std::move(nm));
    sources.push_back(std::move(pppd));
    service.ras = std::make_unique<SystemRas>(std::move(sources));
    return service;
}

} // namespace

class TestRasLimit : public QObject
{
    Q_OBJECT
private slots:
    // 256 records of 412 bytes, 105472 in all; each listed handle in turn, nothing when the
    // listing fails.
    void hangUpWalk_data()
    {
        QTest::addColumn<int>("connections");
        QTest::addColumn<QStringList>("hungUp");
        QTest::newRow("none active") << 0 << QStringList{};
        QTest::newRow("two, in order") << 2 << QStringList{"ras:hangup(100)", "ras:hangup(101)"};
        QTest::newRow("257: the listing fails") << 257 << QStringList{};
    }
    void hangUpWalk()
    {
        QFETCH(int, connections);
        QFETCH(QStringList, hungUp);
        test::CallLog log;
        test::RecordingRas ras(log);
        for (int i = 0; i < connections; ++i)
            ras.connections.push_back(std::uintptr_t(100 + i));
        HangUpAll(ras);
        QCOMPARE(log.take(), QStringList{QStringLiteral("ras:enum(412,105472,256)")} + hungUp);
    }

    void hangUpAll_data()
    {
        QTest::addColumn<int>("nmLinks");
        QTest::addColumn<int>("pppdLinks");
        QTest::addColumn<int>("records");    // buffer size in records of 412 bytes
        QTest::addColumn<uint>("firstSize"); // size field of record 0
        QTest::addColumn<uint>("result");
        QTest::addColumn<uint>("count");
        QTest::addColumn<int>("hungUp");

        QTest::newRow("nothing active") << 0 << 0 << 256 << 412u << 0u << 0u << 0;
        QTest::newRow("both sources") << 2 << 1 << 256 << 412u << 0u << 3u << 3;
        QTest::newRow("exactly 256") << 200 << 56 << 256 << 412u << 0u << 256u << 256;
        QTest::newRow("257: nothing hung up") << 256 << 1 << 256 << 412u << 603u << 257u << 0;
        QTest::newRow("257 from one source") << 0 << 257 << 256 << 412u << 603u << 257u << 0;
        QTest::newRow("buffer for 2 records") << 3 << 0 << 2 << 412u << 603u << 3u << 0;
        QTest::newRow("wrong record size") << 1 << 0 << 256 << 0u << 632u << 0u << 0;
    }
    void hangUpAll()
    {
        QFETCH(int, nmLinks);
        QFETCH(int, pppdLinks);
        QFETCH(int, records);
        QFETCH(uint, firstSize);
        QFETCH(uint, result);
        QFETCH(uint, count);
        QFETCH(int, hungUp);
        Service service = makeService(nmLinks, pppdLinks);

        std::vector<RasConn> table(256);
        table[0].dwSize = firstSize;
        std::uint32_t bufferSize = std::uint32_t(records) * RasConnSize;
        std::uint32_t listed = 0;
        QCOMPARE(service.ras->RasEnumConnectionsA(table, bufferSize, listed), result);
        QCOMPARE(listed, count);
        if (result == SystemRas::InvalidSize)
            QCOMPARE(service.nm->listings, 0); // a malformed table asks nobody
        if (result == SystemRas::BufferTooSmall) {
            QCOMPARE(bufferSize, count * RasConnSize);
            // Whatever the sources hold for a hang-up is let go at once.
            QCOMPARE(service.nm->releases, 1);
            QCOMPARE(service.pppd->releases, 1);
        }
        if (result == 0) {
            for (std::uint32_t i = 0; i < listed; ++i)
                QCOMPARE(service.ras->RasHangUpA(table[i].hrasconn), 0u);
        }
        // Even after a failed listing, no record holds a handle that hangs anything up.
        for (const RasConn& record : table)
            service.ras->RasHangUpA(record.hrasconn);
        QCOMPARE(int(service.nm->hungUp.size() + service.pppd->hungUp.size()), hungUp);
        QCOMPARE(service.nm->hungUp.size(), result == 0 ? nmLinks : 0);
        if (result == 0 && listed > 0) {
            QCOMPARE(table[0].entryName, nmLinks > 0 ? QStringLiteral("nm0") : QStringLiteral("pppd0"));
            QCOMPARE(table[listed - 1].entryName, pppdLinks > 0 ? QStringLiteral("pppd%1").arg(pppdLinks - 1)
                                                                : QStringLiteral("nm%1").arg(nmLinks - 1));
        }
    }

    void handlesServeOneListing()
    {
        Service service = makeService(1, 1);
        std::vector<RasConn> table(256);
        table[0].dwSize = RasConnSize;
        std::uint32_t bufferSize = 256 * RasConnSize;
        std::uint32_t count = 0;
        QCOMPARE(service.ras->RasEnumConnectionsA(table, bufferSize, count), 0u);
        const std::uintptr_t first = table[0].hrasconn;
        const std::uintptr_t second = table[1].hrasconn;
        QVERIFY(first != second);

        QCOMPARE(service.ras->RasHangUpA(first), 0u);
        QCOMPARE(service.ras->RasHangUpA(first), SystemRas::InvalidHandle); // used up
        QCOMPARE(service.ras->RasHangUpA(0), SystemRas::InvalidHandle);

        // A new listing makes the old handles worthless.
        QCOMPARE(service.ras->RasEnumConnectionsA(table, bufferSize, count), 0u);
        QCOMPARE(service.ras->RasHangUpA(second), SystemRas::InvalidHandle);
        QCOMPARE(service.nm->hungUp, QStringList{QStringLiteral("nm0")});
        QVERIFY(service.pppd->hungUp.isEmpty());

        service.ras->Flush();
        QCOMPARE(service.nm->flushes, 1);
        QCOMPARE(service.pppd->flushes, 1);
    }
};

QTEST_GUILESS_MAIN(TestRasLimit)
#include "test_ras_limit.moc"
