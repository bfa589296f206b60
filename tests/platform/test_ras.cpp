// Dial-up hang-up: the walk over the connection table and the combined service (the table
// limit, handles across sources and listings); NetworkManager's dial-up connections, against
// its D-Bus API as python3-dbusmock serves it on a private bus (connections are written
// "type[:bluetooth type][@state]", e.g. "gsm", "bluetooth:dun", "pppoe@3"); pppd links
// started by hand, searched in a /proc folder of the test's own: which processes count, and
// that only they get SIGTERM.

#include "platform/linux/ras/NetworkManagerDialUp.h"
#include "platform/linux/ras/PppdDialUp.h"
#include "platform/linux/ras/SystemRas.h"
#include "support/DBusMock.h"
#include "support/FakeProc.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QTest>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace pelloway;
using namespace pelloway::test;

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

// Lists into `table` (256 records): the number of links, or -1 when the listing fails.
int ListInto(Ras& ras, std::vector<RasConn>& table)
{
    table.assign(256, RasConn{});
    table[0].dwSize = RasConnSize;
    std::uint32_t bufferSize = 256 * RasConnSize;
    std::uint32_t count = 99;
    return ras.RasEnumConnectionsA(table, bufferSize, count) == 0 ? int(count) : -1;
}

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

// A /proc/<pid>/stat line with the fields the search reads (state, ppid, starttime) and the
// rest filled in.
QByteArray statLine(const QByteArray& comm, char state, int ppid = 77, int startTime = 5555)
{
    return "4242 (" + comm + ") " + QByteArray(1, state) + ' ' + QByteArray::number(ppid) +
           " 4242 4242 0 -1 4194560 0 0 0 0 0 0 0 0 20 0 1 0 " + QByteArray::number(startTime) +
           " 1000 100 18446744073709551615\n";
}

} // namespace

class TestRas : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // Before anything in this process touches the system bus.
        QVERIFY2(m_mock.startBus(), qPrintable(m_mock.error()));
    }
    void cleanupTestCase() { m_mock.stopNetworkManager(); }

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

        QTest::newRow("both sources") << 2 << 1 << 256 << 412u << 0u << 3u << 3;
        QTest::newRow("exactly 256") << 200 << 56 << 256 << 412u << 0u << 256u << 256;
        QTest::newRow("257: nothing hung up") << 256 << 1 << 256 << 412u << 603u << 257u << 0;
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
        std::vector<RasConn> table;
        QCOMPARE(ListInto(*service.ras, table), 2);
        const std::uintptr_t first = table[0].hrasconn;
        const std::uintptr_t second = table[1].hrasconn;
        QVERIFY(first != second);

        QCOMPARE(service.ras->RasHangUpA(first), 0u);
        QCOMPARE(service.ras->RasHangUpA(first), SystemRas::InvalidHandle); // used up
        QCOMPARE(service.ras->RasHangUpA(0), SystemRas::InvalidHandle);

        // A new listing makes the old handles worthless.
        QCOMPARE(ListInto(*service.ras, table), 2);
        QCOMPARE(service.ras->RasHangUpA(second), SystemRas::InvalidHandle);
        QCOMPARE(service.nm->hungUp, QStringList{QStringLiteral("nm0")});
        QVERIFY(service.pppd->hungUp.isEmpty());

        service.ras->Flush();
        QCOMPARE(service.nm->flushes, 1);
        QCOMPARE(service.pppd->flushes, 1);
    }

    void dialUpsOnly_data()
    {
        QTest::addColumn<QStringList>("active");
        QTest::addColumn<QStringList>("hungUp"); // ids, in listing order

        QTest::newRow("gsm, pppoe and ethernet")
            << QStringList{"gsm", "pppoe", "802-3-ethernet"} << QStringList{"0-gsm", "1-pppoe"};
        QTest::newRow("bluetooth dun, not panu")
            << QStringList{"bluetooth:panu", "bluetooth:dun"} << QStringList{"1-bluetooth:dun"};
        QTest::newRow("bluetooth without a profile type") << QStringList{"bluetooth:"} << QStringList{};
        QTest::newRow("wifi, vpn and wireguard untouched")
            << QStringList{"802-11-wireless", "vpn", "wireguard", "gsm"} << QStringList{"3-gsm"};
        QTest::newRow("going down or gone skipped")
            << QStringList{"gsm@3", "pppoe@4", "cdma@1"} << QStringList{"2-cdma@1"};
        QTest::newRow("types by exact name") << QStringList{"GSM", "gsm-x", "pppoe2"} << QStringList{};
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
        std::vector<RasConn> table;
        QCOMPARE(ListInto(ras, table), 0);

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
        std::vector<RasConn> table;
        QCOMPARE(ListInto(ras, table), 0); // no type came back in time: nothing is a dial-up
        QCOMPARE(ListInto(ras, table), 0);
    }

    void handStarted_data()
    {
        QTest::addColumn<QByteArray>("stat");
        QTest::addColumn<QByteArray>("parentComm"); // empty: the parent's entry is unreadable
        QTest::addColumn<QByteArray>("cmdline");
        QTest::addColumn<QString>("peer"); // null: not listed; empty: listed without a peer

        const QByteArray pon = QByteArrayLiteral("/usr/sbin/pppd\0call\0provider\0");
        QTest::newRow("pon provider")
            << statLine("pppd", 'S') << QByteArray("bash") << pon << QStringLiteral("provider");
        QTest::newRow("pppd on a tty")
            << statLine("pppd", 'S') << QByteArray("sh") << QByteArrayLiteral("pppd\0/dev/ttyUSB0\0115200\0")
            << QStringLiteral("");
        QTest::newRow("parent unreadable")
            << statLine("pppd", 'S') << QByteArray() << pon << QStringLiteral("provider");
        QTest::newRow("no command line")
            << statLine("pppd", 'S') << QByteArray("bash") << QByteArray() << QStringLiteral("");
        QTest::newRow("started by NetworkManager")
            << statLine("pppd", 'S') << QByteArray("NetworkManager") << pon << QString();
        QTest::newRow("NetworkManager's plugin")
            << statLine("pppd", 'S') << QByteArray("systemd")
            << QByteArrayLiteral("pppd\0plugin\0/usr/lib/pppd/2.4.9/nm-pppd-plugin.so\0ipparam\0/org/x\0")
            << QString();
        QTest::newRow("zombie") << statLine("pppd", 'Z') << QByteArray("bash") << QByteArray() << QString();
        QTest::newRow("another program")
            << statLine("pppdump", 'S') << QByteArray("bash") << pon << QString();
        QTest::newRow("parenthesis in a name")
            << statLine("x) (pppd", 'S') << QByteArray("bash") << pon << QString();
        QTest::newRow("short stat") << QByteArray("4242 (pppd) S 77 4242\n") << QByteArray("bash") << pon
                                    << QString();
        QTest::newRow("no closing parenthesis")
            << QByteArray("4242 (pppd S 77 4242 4242 0 -1 0 0 0 0 0 0 0 0 20 0 1 0 5 1 1\n")
            << QByteArray("bash") << pon << QString();
        QTest::newRow("non-numeric parent") << QByteArray(statLine("pppd", 'S')).replace(" 77 ", " x7 ")
                                            << QByteArray("bash") << pon << QString();
    }
    void handStarted()
    {
        QFETCH(QByteArray, stat);
        QFETCH(QByteArray, parentComm);
        QFETCH(QByteArray, cmdline);
        QFETCH(QString, peer);

        FakeProc proc;
        QVERIFY(proc.write(QStringLiteral("4242/stat"), stat));
        QVERIFY(proc.write(QStringLiteral("4242/cmdline"), cmdline));
        if (!parentComm.isEmpty())
            QVERIFY(proc.write(QStringLiteral("77/comm"), parentComm + '\n'));
        // Entries that are not processes never count, whatever they hold.
        QVERIFY(proc.write(QStringLiteral("self/stat"), statLine("pppd", 'S')));
        QVERIFY(proc.write(QStringLiteral("net/stat"), statLine("pppd", 'S')));
        QVERIFY(proc.write(QStringLiteral("stat"), statLine("pppd", 'S')));

        const std::vector<PppdProcess> found = FindHandStartedPppd(proc.root());
        QCOMPARE(found.size(), peer.isNull() ? 0u : 1u);
        if (!peer.isNull()) {
            QCOMPARE(found[0].pid, 4242);
            QCOMPARE(found[0].startTime, 5555ull);
            QCOMPARE(found[0].peer, peer);
        }
    }

    // Real processes, seen through links to their /proc entries: copies of sleep named pppd.
    // Two are started by hand: one gets SIGTERM; the other ends before its hang-up and is
    // skipped quietly (its pidfd keeps a pid reused meanwhile from being signalled). A third
    // stands for the machine's own link: it is not in the folder searched, so it must stay
    // up. (Which processes count is the table above.)
    void onlyHandStartedGetSigterm()
    {
        FakeProc proc;
        QVERIFY(proc.isValid());
        const pid_t byHand = proc.startPppd();
        const pid_t gone = proc.startPppd();
        const pid_t machines = proc.startPppd();
        QVERIFY(byHand > 0 && gone > 0 && machines > 0 && proc.link(byHand) && proc.link(gone));

        PppdDialUp source(proc.root());
        QMap<QString, std::size_t> keys; // by pid
        for (const DialUpLink& link : source.List(QDeadlineTimer(1000)))
            keys.insert(link.deviceName, link.key);
        QStringList handStarted{QString::number(byHand), QString::number(gone)};
        handStarted.sort();                 // as the map orders them
        QCOMPARE(keys.keys(), handStarted); // never anything but our own hand-started fakes
        ::kill(gone, SIGKILL);
        int status = proc.reap(gone);
        QVERIFY(status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        QVERIFY(!source.HangUp(keys[QString::number(gone)]));
        QVERIFY(source.HangUp(keys[QString::number(byHand)]));
        QVERIFY(!source.HangUp(keys[QString::number(byHand)])); // its pidfd is spent

        status = proc.reap(byHand);
        QVERIFY(status != -1 && WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), SIGTERM);
        QCOMPARE(ProcState(machines), 'S');
    }

    // A line started by root stays up when an ordinary user's program hangs up: the signal is
    // refused and the refusal is not an error.
    void rootLineStaysForUser()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to start a line that a user may not end");
        FakeProc proc;
        QVERIFY(proc.isValid());
        const pid_t rootLine = proc.startPppd();
        QVERIFY(rootLine > 0 && proc.link(rootLine));

        // The hang-up runs in a child that has become "nobody"; its exit code tells what it saw.
        const pid_t user = ::fork();
        QVERIFY(user >= 0);
        if (user == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(10);
            PppdDialUp source(proc.root());
            const std::vector<DialUpLink> links = source.List(QDeadlineTimer(1000));
            if (links.size() != 1 || links[0].deviceName != QString::number(rootLine))
                ::_exit(11);
            ::_exit(source.HangUp(links[0].key) ? 12 : 0);
        }
        int status = 0;
        QCOMPARE(::waitpid(user, &status, 0), user);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0); // listed, refused, reported as not sent
        QCOMPARE(ProcState(rootLine), 'S');
    }

private:
    test::DBusMock m_mock;
};

QTEST_GUILESS_MAIN(TestRas)
#include "test_ras.moc"
