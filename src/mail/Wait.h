#pragma once
// The one wait of the program: window events keep being delivered while it runs.

#include <cstdint>
#include <functional>

class QEventLoop;

namespace pelloway {

// A millisecond tick that wraps around after 2^32 ms, counted from an arbitrary start.
using TickSource = std::function<std::uint32_t()>;

// The program's millisecond tick.
std::uint32_t TickCount();

// Delivers window events until more than `ms` milliseconds have passed on `tick` (a wait of
// 1000 returns once the tick shows 1001 ms or more), then returns true. Events are delivered
// at least once, even for a wait of 0 or less. Between events the thread sleeps. A tick that
// wraps during the wait is measured across the wrap. Returns false at once when the program
// is ending (QCoreApplication::exit was called, or there is no application).
bool WaitMilliseconds(int ms);
bool WaitMilliseconds(int ms, const TickSource& tick);

// Runs `loop` until something quits it, delivering window events; `finished` then tells
// whether its work is done. False when the program is ending (at once when it already
// was): the loop was left because the application asked every event loop to leave.
bool RunLoop(QEventLoop& loop, const std::function<bool()>& finished);

// Whether the program is ending. A wait that sees the application ask every event loop to
// leave marks it, and from then on every wait returns at once. One per process, reached
// through instance(); tests start again from a fresh one with resetInstance().
class ProgramEnd
{
public:
    static ProgramEnd& instance();
    // Not ending, and the application's event loops run again (QCoreApplication::exit leaves
    // them refusing to run until the application's own loop has run). Call it from the main
    // thread outside any event loop, as a test function runs.
    static void resetInstance();

    bool ending() const { return m_ending; }
    void setEnding() { m_ending = true; }

private:
    bool m_ending = false;
};

// True once a wait has seen the program ending; it stays true until a reset.
bool ProgramEnding();

} // namespace pelloway
