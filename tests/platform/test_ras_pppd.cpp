// pppd links started by hand: which processes count, and that only they get SIGTERM.

#include "platform/ras/PppdDialUp.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace pelloway;

namespace {

// A /proc/<pid>/stat line with the fields the search reads (state, ppid, starttime) and the
// rest filled in.
QByteArray statLine(const QByteArray& comm, char state, int ppid = 77, int startTime = 5555)
{
    return "4242 (" + comm + ") " + QByteArray(1, state) + ' ' + QByteArray::number(ppid) +
           " 4242 4242 0 -1 4194560 0 0 0 0 0 0 0 0 20 0 1 0 " + QByteArray::number(startTime) +
           " 1000 100 18446744073709551615\n";
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    return test::WriteBytes(path, bytes);
}

QByteArray commOf(pid_t pid)
{
    QFile file(QStringLiteral("/proc/%1/comm").arg(pid));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

char stateOf(pid_t pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = file.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close >= 0 && close + 2 < text.size() ? text[close + 2] : 0;
}

// Polls /proc until `ready` holds; false after five seconds.
template <typename Ready> bool waitFor(Ready ready)
{
    for (int i = 0; i < 500; ++i) {
        if (ready())
            return true;
        QThread::msleep(10);
    }
    return false;
}

// Fake processes, each leading a process group of its own, killed with their children when
// the test ends (or dies).
class Fakes
{
public:
    ~Fakes()
    {
        for (pid_t pid : m_leaders) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    pid_t spawn(const QString& program, const QStringList& args)
    {
        const QByteArray path = QFile::encodeName(program);
        std::vector<QByteArray> storage{path};
        for (const QString& arg : args)
            storage.push_back(arg.toLocal8Bit());
        std::vector<char*> argv;
        for (QByteArray& arg : storage)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::setpgid(0, 0);
            ::execv(path.constData(), argv.data());
            ::_exit(127);
        }
        if (pid > 0)
            m_leaders.push_back(pid);
        return pid;
    }
    // Reaps a fake that ended; returns its wait status.
    int reap(pid_t pid)
    {
        int status = 0;
        ::waitpid(pid, &status, 0);
        std::erase(m_leaders, pid);
        return status;
    }

private:
    std::vector<pid_t> m_leaders;
};

pid_t childPppdOf(pid_t parent)
{
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const pid_t pid = entry.toInt();
        if (pid <= 0 || commOf(pid) != "pppd")
            continue;
        QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = file.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toInt() == parent)
            return pid;
    }
    return 0;
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

        QTemporaryDir proc;
        QVERIFY(writeFile(proc.filePath(QStringLiteral("4242/stat")), stat));
        QVERIFY(writeFile(proc.filePath(QStringLiteral("4242/cmdline")), cmdline));
        if (!parentComm.isEmpty())
            QVERIFY(writeFile(proc.filePath(QStringLiteral("77/comm")), parentComm + '\n'));
        // Entries that are not processes never count, whatever they hold.
        QVERIFY(writeFile(proc.filePath(QStringLiteral("self/stat")), statLine("pppd", 'S')));
        QVERIFY(writeFile(proc.filePath(QStringLiteral("net/stat")), statLine("pppd", 'S')));
        QVERIFY(writeFile(proc.filePath(QStringLiteral("stat")), statLine("pppd", 'S')));

        const std::vector<PppdProcess> found = FindHandStartedPppd(proc.path());
        QCOMPARE(found.size(), listed ? 1u : 0u);
        if (listed) {
            QCOMPARE(found[0].pid, 4242);
            QCOMPARE(found[0].startTime, 5555ull);
            QCOMPARE(found[0].peer, peer);
        }
    }

    // Real processes: a copy of sleep named pppd started by hand, one whose parent is named
    // NetworkManager, one carrying NetworkManager's plugin, and a dead one.
    void onlyHandStartedGetSigterm()
    {
        if (!FindHandStartedPppd().empty())
            QSKIP("a pppd runs on this machine; it is left alone");
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("plugin"))));
        const QString pppd = dir.filePath(QStringLiteral("pppd"));
        const QString shellPppd = dir.filePath(QStringLiteral("plugin/pppd"));
        const QString networkManager = dir.filePath(QStringLiteral("NetworkManager"));
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), pppd));
        QVERIFY(QFile::copy(QStringLiteral("/bin/sh"), shellPppd));
        QVERIFY(QFile::copy(QStringLiteral("/bin/sh"), networkManager));

        Fakes fakes;
        const pid_t byHand = fakes.spawn(pppd, {QStringLiteral("600")});
        const pid_t manager =
            fakes.spawn(networkManager, {QStringLiteral("-c"), QStringLiteral("\"$0\" 600 & wait"), pppd});
        const pid_t withPlugin = fakes.spawn(
            shellPppd, {QStringLiteral("-c"), QStringLiteral("sleep 600; exit 0"), QStringLiteral("pppd"),
                        QStringLiteral("plugin"), QStringLiteral("nm-pppd-plugin.so")});
        const pid_t zombie = fakes.spawn(pppd, {QStringLiteral("0")});
        QVERIFY(byHand > 0 && manager > 0 && withPlugin > 0 && zombie > 0);

        pid_t managed = 0;
        QVERIFY(waitFor([&] { return (managed = childPppdOf(manager)) != 0; }));
        QVERIFY(waitFor([&] { return commOf(byHand) == "pppd" && stateOf(byHand) == 'S'; }));
        QVERIFY(waitFor([&] { return commOf(withPlugin) == "pppd" && stateOf(withPlugin) == 'S'; }));
        QVERIFY(waitFor([&] { return stateOf(zombie) == 'Z'; }));
        QCOMPARE(commOf(zombie), QByteArray("pppd"));

        PppdDialUp source;
        const std::vector<DialUpLink> links = source.List(QDeadlineTimer(1000));
        // Never signal anything but our own hand-started fake.
        QCOMPARE(links.size(), 1u);
        QCOMPARE(links[0].deviceName, QString::number(byHand));
        QVERIFY(source.HangUp(links[0].key));
        QVERIFY(!source.HangUp(links[0].key)); // its pidfd is spent

        const int status = fakes.reap(byHand);
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), SIGTERM);
        for (pid_t pid : {manager, managed, withPlugin})
            QVERIFY2(stateOf(pid) == 'S', qPrintable(QString::number(pid)));
    }

    // A line started by root stays up when an ordinary user's program hangs up: the signal is
    // refused and the refusal is not an error.
    void rootLineStaysForUser()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to start a line that a user may not end");
        if (!FindHandStartedPppd().empty())
            QSKIP("a pppd runs on this machine; it is left alone");
        QTemporaryDir dir;
        const QString pppd = dir.filePath(QStringLiteral("pppd"));
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), pppd));
        Fakes fakes;
        const pid_t rootLine = fakes.spawn(pppd, {QStringLiteral("600")});
        QVERIFY(waitFor([&] { return commOf(rootLine) == "pppd" && stateOf(rootLine) == 'S'; }));

        // The hang-up runs in a child that has become "nobody"; its exit code tells what it saw.
        const pid_t user = ::fork();
        QVERIFY(user >= 0);
        if (user == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(10);
            PppdDialUp source;
            const std::vector<DialUpLink> links = source.List(QDeadlineTimer(1000));
            if (links.size() != 1 || links[0].deviceName != QString::number(rootLine))
                ::_exit(11);
            ::_exit(source.HangUp(links[0].key) ? 12 : 0);
        }
        int status = 0;
        QCOMPARE(::waitpid(user, &status, 0), user);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0); // listed, refused, reported as not sent
        QCOMPARE(stateOf(rootLine), 'S');
    }

    // A listed link that ended before its hang-up is skipped quietly; the pidfd keeps a pid
    // reused meanwhile from being signalled.
    void linkGoneBeforeHangUp()
    {
        if (!FindHandStartedPppd().empty())
            QSKIP("a pppd runs on this machine; it is left alone");
        QTemporaryDir dir;
        const QString pppd = dir.filePath(QStringLiteral("pppd"));
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), pppd));
        Fakes fakes;
        const pid_t byHand = fakes.spawn(pppd, {QStringLiteral("600")});
        QVERIFY(waitFor([&] { return commOf(byHand) == "pppd"; }));

        PppdDialUp source;
        const std::vector<DialUpLink> links = source.List(QDeadlineTimer(1000));
        QCOMPARE(links.size(), 1u);
        ::kill(byHand, SIGKILL);
        const int status = fakes.reap(byHand);
        QCOMPARE(WTERMSIG(status), SIGKILL);
        QVERIFY(!source.HangUp(links[0].key));
    }
};

QTEST_GUILESS_MAIN(TestRasPppd)
#include "test_ras_pppd.moc"
