#include "support/FakeProc.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pelloway::test {

FakeProc::FakeProc()
{
    const QFile::Permissions everyone = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                        QFile::ExeOther;
    m_valid = m_dir.isValid() && QFile::setPermissions(m_dir.path(), everyone) && QDir().mkpath(root()) &&
              QDir().mkpath(m_dir.filePath(QStringLiteral("bin"))) &&
              QFile::copy(QStringLiteral("/bin/sleep"), sleepPppd());
}

FakeProc::~FakeProc()
{
    for (pid_t pid : m_leaders) {
        ::kill(-pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
}

bool FakeProc::write(const QString& relative, const QByteArray& bytes)
{
    const QString path = root() + u'/' + relative;
    return QDir().mkpath(QFileInfo(path).path()) && WriteBytes(path, bytes);
}

bool FakeProc::link(pid_t pid)
{
    return QFile::link(QStringLiteral("/proc/%1").arg(pid), root() + u'/' + QString::number(pid));
}

pid_t FakeProc::spawn(const QString& program, const QStringList& args)
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
    if (pid < 0)
        return 0;
    m_leaders.push_back(pid);
    return pid;
}

pid_t FakeProc::startPppd()
{
    const pid_t pid = spawn(sleepPppd(), {QStringLiteral("600")});
    if (pid == 0 || !QTest::qWaitFor([pid] { return ProcComm(pid) == "pppd" && ProcState(pid) == 'S'; }))
        return 0;
    return pid;
}

int FakeProc::reap(pid_t pid, int timeoutMs)
{
    int status = -1;
    const bool ended = QTest::qWaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, timeoutMs);
    if (!ended)
        return -1;
    std::erase(m_leaders, pid);
    return status;
}

QByteArray ProcComm(pid_t pid)
{
    return ReadBytes(QStringLiteral("/proc/%1/comm").arg(pid)).trimmed();
}

char ProcState(pid_t pid)
{
    const QByteArray text = ReadBytes(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = text.lastIndexOf(')');
    return close >= 0 && close + 2 < text.size() ? text[close + 2] : 0;
}

} // namespace pelloway::test
