#include "platform/linux/ras/PppdDialUp.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <csignal>
#include <optional>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace pelloway {

namespace {

// /proc files are small; a longer one is not what we look for.
constexpr qint64 MaxProcFile = 64 * 1024;

QByteArray readProcFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    return file.read(MaxProcFile);
}

struct Stat
{
    QByteArray comm;
    char state = 0;
    pid_t ppid = 0;
    unsigned long long startTime = 0;
};

// /proc/<pid>/stat: "pid (comm) state ppid ... starttime ...". The command name may itself
// hold blanks and parentheses, so the fields start after the last ')'.
std::optional<Stat> readStat(const QString& procRoot, pid_t pid)
{
    const QByteArray text = readProcFile(procRoot + u'/' + QString::number(pid) + QStringLiteral("/stat"));
    const qsizetype open = text.indexOf('(');
    const qsizetype close = text.lastIndexOf(')');
    if (open < 0 || close < open)
        return std::nullopt;
    Stat stat;
    stat.comm = text.mid(open + 1, close - open - 1);
    const QList<QByteArray> fields = text.mid(close + 1).simplified().split(' ');
    // fields[0] is field 3 (state), fields[1] field 4 (ppid), fields[19] field 22 (starttime).
    if (fields.size() < 20 || fields[0].size() != 1)
        return std::nullopt;
    bool ppidOk = false;
    bool startOk = false;
    stat.state = fields[0][0];
    stat.ppid = pid_t(fields[1].toInt(&ppidOk));
    stat.startTime = fields[19].toULongLong(&startOk);
    if (!ppidOk || !startOk)
        return std::nullopt;
    return stat;
}

bool isLivePppd(const Stat& stat)
{
    return stat.comm == "pppd" && stat.state != 'Z' && stat.state != 'X' && stat.state != 'x';
}

int pidfdOpen(pid_t pid)
{
    return int(::syscall(SYS_pidfd_open, pid, 0U));
}

} // namespace

std::vector<PppdProcess> FindHandStartedPppd(const QString& procRoot)
{
    std::vector<PppdProcess> found;
    const QStringList entries = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : entries) {
        bool numeric = false;
        const int pid = entry.toInt(&numeric);
        if (!numeric || pid <= 0)
            continue;
        const std::optional<Stat> stat = readStat(procRoot, pid);
        if (!stat || !isLivePppd(*stat))
            continue;
        const QByteArray parent =
            readProcFile(procRoot + u'/' + QString::number(stat->ppid) + QStringLiteral("/comm")).trimmed();
        if (parent == "NetworkManager")
            continue;
        const QList<QByteArray> args =
            readProcFile(procRoot + u'/' + entry + QStringLiteral("/cmdline")).split('\0');
        if (std::any_of(args.begin(), args.end(),
                        [](const QByteArray& a) { return a.contains("nm-pppd-plugin"); }))
            continue;
        PppdProcess process{pid, stat->startTime, {}};
        for (qsizetype i = 0; i + 1 < args.size(); ++i) {
            if (args[i] == "call") {
                process.peer = QString::fromLocal8Bit(args[i + 1]);
                break;
            }
        }
        found.push_back(process);
    }
    return found;
}

PppdDialUp::~PppdDialUp()
{
    Release();
}

std::vector<DialUpLink> PppdDialUp::List(QDeadlineTimer)
{
    Release();
    std::vector<DialUpLink> links;
    for (const PppdProcess& process : FindHandStartedPppd(m_procRoot)) {
        const int pidfd = pidfdOpen(process.pid);
        if (pidfd < 0)
            continue; // gone already, or no pidfds on this kernel
        // The pidfd now pins the process; make sure it is still the pppd that was found.
        const std::optional<Stat> stat = readStat(m_procRoot, process.pid);
        if (!stat || !isLivePppd(*stat) || stat->startTime != process.startTime) {
            ::close(pidfd);
            continue;
        }
        DialUpLink link;
        link.entryName = process.peer.isEmpty() ? QStringLiteral("pppd") : process.peer;
        link.deviceType = QStringLiteral("pppd");
        link.deviceName = QString::number(process.pid);
        link.key = m_pidfds.size();
        m_pidfds.push_back(pidfd);
        links.push_back(link);
    }
    return links;
}

bool PppdDialUp::HangUp(std::size_t key)
{
    if (key >= m_pidfds.size() || m_pidfds[key] < 0)
        return false;
    const int pidfd = std::exchange(m_pidfds[key], -1);
    // EPERM (a root-owned line for a user) and ESRCH (already gone) are not reported.
    const long sent = ::syscall(SYS_pidfd_send_signal, pidfd, SIGTERM, nullptr, 0U);
    ::close(pidfd);
    return sent == 0;
}

void PppdDialUp::Release()
{
    for (int pidfd : m_pidfds) {
        if (pidfd >= 0)
            ::close(pidfd);
    }
    m_pidfds.clear();
}

} // namespace pelloway
