// pppd links started by hand: which processes count, and that only they get SIGTERM.

#include "platform/linux/ras/PppdDialUp.h"
#include "support/FakeProc.h"
#include "support/TestSupport.h"

#include <QTest>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace pelloway;
using namespace pelloway::test;

namespace {

// A /proc/<pid>/stat line with the fields the search reads (state, ppid, starttime) and the
// rest filled in.
QByteArray statLine(const QByteArray& comm, char state, int ppid = 77, int startTime = 5555)
{
    return "4242 (" + comm + ") " + QByteArray(1, state) + ' ' + QByteArray::number(ppid) +
           " 4242 4242 0 -1 4194560 0 0 0 0 0 0 0 0 20 0 1 0 " + QByteArray::number(startTime) +
           " 1000 100 18446744073709551615\n";
}

} // namespace

class TestRasPppd : public QObject
{
    Q_OBJECT
private slots:
    void handStarted_data()
    {
        QTest::addColumn<QByteArray>("stat");
        QTest::addColumn<QByteArray>("parentComm"); // empty: the parent's entry is unreadable
        QTest::addColumn<QByteArray>("cmdline");
        QTest::addColumn<bool>("listed");
        QTest::addColumn<QString>("peer");

        const QByteArray pon = QByteArrayLiteral("/usr/sbin/pppd\0call\0provider\0");
        QTest::newRow("pon provider")
            << statLine("pppd", 'S') << QByteArray("bash") << pon << true << QStringLiteral("provider");
        QTest::newRow("pppd on a tty")
            << statLine("pppd", 'S') << QByteArray("sh") << QByteArrayLiteral("pppd\0/dev/ttyUSB0\0115200\0")
            << true << QString();
        QTest::newRow("running") << statLine("pppd", 'R') << QByteArray("systemd") << pon << true
                                 << QStringLiteral("provider");
        QTest::newRow("parent unreadable")
            << statLine("pppd", 'S') << QByteArray() << pon << true << QStringLiteral("provider");
        QTest::newRow("no command line")
            << statLine("pppd", 'S') << QByteArray("bash") << QByteArray() << true << QString();
        QTest::newRow("started by NetworkManager")
            << statLine("pppd", 'S') << QByteArray("NetworkManager") << pon << false << QString();
        QTest::newRow("NetworkManager's plugin")
            << statLine("pppd", 'S') << QByteArray("systemd")
            << QByteArrayLiteral("pppd\0plugin\0/usr/lib/pppd/2.4.9/nm-pppd-plugin.so\0ipparam\0/org/x\0")
            << false << QString();
        QTest::newRow("zombie") << statLine("pppd", 'Z') << QByteArray("bash") << QByteArray() << false
                                << QString();
        QTest::newRow("dead") << statLine("pppd", 'X') << QByteArray("bash") << pon << false << QString();
        QTest::newRow("another program")
            << statLine("pppdump", 'S') << QByteArray("bash") << pon << false << QString();
        QTest::newRow("parenthesis in a name")
            << statLine("x) (pppd", 'S') << QByteArray("bash") << pon << false << QString();
        QTest::newRow("name ending in pppd")
            << statLine("my pppd", 'S') << QByteArray("bash") << pon << false << QString();
        QTest::newRow("short stat") << QByteArray("4242 (pppd) S 77 4242\n") << QByteArray("bash") << pon
                                    << false << QString();
        QTest::newRow("no closing parenthesis")
            << QByteArray("4242 (pppd S 77 4242 4242 0 -1 0 0 0 0 0 0 0 0 20 0 1 0 5 1 1\n")
            << QByteArray("bash") << pon << false << QString();
        QTest::newRow("non-numeric parent") << QByteArray(statLine("pppd", 'S')).replace(" 77 ", " x7 ")
                                            << QByteArray("bash") << pon << false << QString();
        QTest::newRow("empty stat") << QByteArray() << QByteArray("bash") << pon << false << QString();
        QTest::newRow("binary garbage")
            << QByteArray("\0\xff(\x01)\0", 6) << QByteArray("bash") << pon << false << QString();
    }
    void handStarted()
    {
        QFETCH(QByteArray, stat);
        QFETCH(QByteArray, parentComm);
        QFETCH(QByteArray, cmdline);
        QFETCH(bool, listed);
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
        QCOMPARE(found.size(), listed ? 1u : 0u);
        if (listed) {
            QCOMPARE(found[0].pid, 4242);
            QCOMPARE(found[0].startTime, 5555ull);
            QCOMPARE(found[0].peer, peer);
        }
    }

    // Real processes, seen through links to their /proc entries: a copy of sleep named pppd
    // started by hand and a shell named pppd carrying NetworkManager's plugin. A second
    // hand-started pppd stands for the machine's own link: it is not in the folder searched,
    // so it must stay up. (Which processes count is the table above.)
    void onlyHandStartedGetSigterm()
    {
        FakeProc proc;
        QVERIFY(proc.isValid());
        const pid_t byHand = proc.startPppd();
        const pid_t machines = proc.startPppd();
        const pid_t withPlugin =
            proc.spawn(proc.shellPppd(),
                       {QStringLiteral("-c"), QStringLiteral("sleep 600; exit 0"), QStringLiteral("pppd"),
                        QStringLiteral("plugin"), QStringLiteral("nm-pppd-plugin.so")});
        QVERIFY(byHand > 0 && machines > 0 && withPlugin > 0);
        QVERIFY(
            QTest::qWaitFor([&] { return ProcComm(withPlugin) == "pppd" && ProcState(withPlugin) == 'S'; }));
        QVERIFY(proc.link(byHand) && proc.link(withPlugin));

        PppdDialUp source(proc.root());
        const std::vector<DialUpLink> links = source.List(QDeadlineTimer(1000));
        // Never signal anything but our own hand-started fake.
        QCOMPARE(links.size(), 1u);
        QCOMPARE(links[0].deviceName, QString::number(byHand));
        QVERIFY(source.HangUp(links[0].key));
        QVERIFY(!source.HangUp(links[0].key)); // its pidfd is spent

        const int status = proc.reap(byHand);
        QVERIFY(status != -1 && WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), SIGTERM);
        QCOMPARE(ProcState(machines), 'S');
        QCOMPARE(ProcState(withPlugin), 'S');
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

    // A listed link that ended before its hang-up is skipped quietly; the pidfd keeps a pid
    // reused meanwhile from being signalled.
    void linkGoneBeforeHangUp()
    {
        FakeProc proc;
        QVERIFY(proc.isValid());
        const pid_t byHand = proc.startPppd();
        QVERIFY(byHand > 0 && proc.link(byHand));

        PppdDialUp source(proc.root());
        const std::vector<DialUpLink> links = source.List(QDeadlineTimer(1000));
        QCOMPARE(links.size(), 1u);
        ::kill(byHand, SIGKILL);
        const int status = proc.reap(byHand);
        QVERIFY(status != -1 && WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), SIGKILL);
        QVERIFY(!source.HangUp(links[0].key));
    }
};

QTEST_GUILESS_MAIN(TestRasPppd)
#include "test_ras_pppd.moc"
