#pragma once
// The desktop of tests that run on a private X display (with-xvfb): a window manager they
// start and stop, and the X tools they ask about windows.

#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

namespace pelloway::test {

// Runs a program to its end and gives its standard output, trimmed; empty when it cannot
// start, fails or takes longer than `timeoutMs`.
QString RunProgram(const QString& program, const QStringList& args, int timeoutMs = 10000);

// The id of the first window (only a mapped one when `onlyVisible`) named exactly `name`,
// asked until one is there or `timeoutMs` has passed; empty when none came.
QString FindWindow(const QString& name, int timeoutMs = 0, bool onlyVisible = true);

// Where the X server has the window, frame excluded, as the window manager placed it.
QRect WindowGeometry(const QString& id);

// openbox on the test's display, stopped by its process id when the object goes.
class WindowManager
{
public:
    // Starts openbox and waits until it announces itself on the root window.
    WindowManager();
    ~WindowManager();
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

    bool isRunning() const { return m_running; }

private:
    QProcess m_process;
    bool m_running = false;
};

} // namespace pelloway::test
