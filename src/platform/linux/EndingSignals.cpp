#include "platform/EndingSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace pelloway {

namespace {

constexpr int Handled[] = {SIGTERM, SIGINT, SIGHUP};
volatile std::sig_atomic_t g_writeEnd = -1;

extern "C" void onSignal(int signal)
{
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    if (g_writeEnd >= 0) {
        const ssize_t n = ::write(g_writeEnd, &number, 1); // a full pipe: signals are pending already
        static_cast<void>(n);
    }
    errno = saved;
}

} // namespace

EndingSignals::EndingSignals(std::function<void(int signal)> received) : m_received(std::move(received))
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_writeEnd = m_pipe[1];
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { readPipe(); });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : Handled)
        ::sigaction(signal, &action, nullptr);
}

EndingSignals::~EndingSignals()
{
    for (const int signal : Handled)
        std::signal(signal, SIG_DFL);
    g_writeEnd = -1;
    m_notifier.reset();
    for (const int fd : m_pipe) {
        if (fd >= 0)
            ::close(fd);
    }
}

void EndingSignals::readPipe()
{
    unsigned char numbers[16];
    for (;;) {
        const ssize_t n = ::read(m_pipe[0], numbers, sizeof numbers);
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i) {
            if (m_received)
                m_received(numbers[i]);
        }
    }
}

} // namespace pelloway
