#pragma once
// pppd links started by hand (pon, or pppd from a shell): found through /proc and ended with
// SIGTERM through a pidfd, as poff does. Links NetworkManager started are its own business.

#include "platform/linux/ras/DialUpSource.h"

#include <QString>
#include <sys/types.h>
#include <vector>

namespace pelloway {

// A pppd process as /proc shows it.
struct PppdProcess
{
    pid_t pid = 0;
    unsigned long long startTime = 0; // clock ticks since boot: tells a reused pid apart
    QString peer;                     // the name after "call", if any
};

// The live pppd processes under `procRoot` that NetworkManager did not start: the parent is
// not "NetworkManager" and no argument names nm-pppd-plugin. Zombies are left out. Unreadable
// or malformed entries are skipped.
std::vector<PppdProcess> FindHandStartedPppd(const QString& procRoot = QStringLiteral("/proc"));

class PppdDialUp final : public DialUpSource
{
public:
    explicit PppdDialUp(const QString& procRoot = QStringLiteral("/proc")) : m_procRoot(procRoot) {}
    ~PppdDialUp() override;
    PppdDialUp(const PppdDialUp&) = delete;
    PppdDialUp& operator=(const PppdDialUp&) = delete;

    // Each listed link holds a pidfd of its process until it is hung up or released, so a
    // pid reused meanwhile is never signalled.
    std::vector<DialUpLink> List(QDeadlineTimer deadline) override;
    // SIGTERM: pppd hangs up and exits (SIGHUP would make a "persist" link redial). Fails
    // silently where the process belongs to someone we may not signal.
    bool HangUp(std::size_t key) override;
    void Release() override;

private:
    QString m_procRoot;
    std::vector<int> m_pidfds; // per key; -1 once used
};

} // namespace pelloway
