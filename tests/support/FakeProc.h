#pragma once
// A folder laid out like /proc for the pppd search, so that no test looks at (or hangs up)
// the links of the machine it runs on. It holds entries the test writes and links to the
// real /proc entries of processes the test itself started, where a signal must reach a live
// process. Those processes run a copy of sleep named "pppd"; each leads a process group of its
// own and is killed with its children, by that group's id, when the object goes or the test
// dies.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <sys/types.h>
#include <vector>

namespace pelloway::test {

class FakeProc
{
public:
    FakeProc();
    ~FakeProc();
    FakeProc(const FakeProc&) = delete;
    FakeProc& operator=(const FakeProc&) = delete;

    // The folder to hand to the search, readable by every user.
    QString root() const { return m_dir.filePath(QStringLiteral("proc")); }
    // A copy of /bin/sleep named pppd.
    QString sleepPppd() const { return m_dir.filePath(QStringLiteral("bin/pppd")); }
    bool isValid() const { return m_valid; }

    // Writes `relative` (e.g. "4242/stat") under the root.
    bool write(const QString& relative, const QByteArray& bytes);
    // Shows a live process as the kernel does: root/<pid> links to /proc/<pid>.
    bool link(pid_t pid);

    // Starts `program` in a process group of its own; 0 on failure. Not listed until linked.
    pid_t spawn(const QString& program, const QStringList& args);
    // A hand-started pppd (sleep 600), already named pppd and asleep; 0 on failure.
    pid_t startPppd();
    // Waits for a started process to end and reaps it: its wait status, or -1 when it is
    // still running after `timeoutMs`.
    int reap(pid_t pid, int timeoutMs = 5000);

private:
    QTemporaryDir m_dir;
    std::vector<pid_t> m_leaders;
    bool m_valid = false;
};

// What the kernel tells of any process: its name and state letter (0 when it is gone).
QByteArray ProcComm(pid_t pid);
char ProcState(pid_t pid);

} // namespace pelloway::test
