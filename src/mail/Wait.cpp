#include "mail/Wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

namespace pelloway {

namespace {
bool s_ending = false;
}

bool ProgramEnding()
{
    return s_ending;
}

std::uint32_t TickCount()
{
    static const QElapsedTimer start = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return static_cast<std::uint32_t>(start.elapsed());
}

bool RunLoop(QEventLoop& loop, const std::function<bool()>& finished)
{
    if (s_ending || !QCoreApplication::instance()) {
        s_ending = true;
        return false;
    }
    if (!finished())
        loop.exec();
    if (!finished()) {
        s_ending = true;
        return false;
    }
    return true;
}

bool WaitMilliseconds(int ms)
{
    return WaitMilliseconds(ms, TickCount);
}

bool WaitMilliseconds(int ms, const TickSource& tick)
{
    if (s_ending || !QCoreApplication::instance()) {
        s_ending = true;
        return false;
    }
    const std::uint32_t t0 = tick();
    // Unsigned subtraction measures across a wrap of the tick.
    const auto elapsed = [&] { return std::int64_t(std::uint32_t(tick() - t0)); };

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    bool timedOut = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });

    // The first round runs with a timer of at least 0 ms, which fires only after the events
    // already pending have been delivered: events are delivered at least once.
    std::int64_t passed = elapsed();
    do {
        const std::int64_t remaining = std::max<std::int64_t>(0, std::int64_t(ms) - passed + 1);
        timedOut = false;
        timer.start(int(std::min<std::int64_t>(remaining, INT32_MAX)));
        loop.exec();
        if (!timedOut) {
            // Not our timer: the application asked every event loop to leave.
            s_ending = true;
            return false;
        }
        passed = elapsed();
    } while (passed <= ms);
    return true;
}

} // namespace pelloway
