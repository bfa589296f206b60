#include "mail/Wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>

namespace pelloway {

ProgramEnd& ProgramEnd::instance()
{
    static ProgramEnd s_instance;
    return s_instance;
}

void ProgramEnd::resetInstance()
{
    instance() = ProgramEnd();
    // The application's loop runs once, leaving at once: that clears the quit state. Inside
    // another loop it could not run, and the queued exit would end that loop instead.
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread() && QThread::currentThread()->loopLevel() == 0) {
        QTimer::singleShot(0, QCoreApplication::instance(), [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }
}

bool ProgramEnding()
{
    return ProgramEnd::instance().ending();
}

namespace {

// Marks the program ending; the wait that saw it returns false.
bool ended()
{
    ProgramEnd::instance().setEnding();
    return false;
}

} // namespace

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
    if (ProgramEnding() || !QCoreApplication::instance())
        return ended();
    if (!finished())
        loop.exec();
    if (!finished())
        return ended();
    return true;
}

bool WaitMilliseconds(int ms)
{
    return WaitMilliseconds(ms, TickCount);
}

bool WaitMilliseconds(int ms, const TickSource& tick)
{
    if (ProgramEnding() || !QCoreApplication::instance())
        return ended();
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
            return ended();
        }
        passed = elapsed();
    } while (passed <= ms);
    return true;
}

} // namespace pelloway
