#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace pelloway {

// SIGTERM, SIGINT and SIGHUP (kill, Ctrl+C, the end of a session or terminal) reach the
// program as a call on its own thread: the handler only writes the signal's number into a
// pipe, and the event loop reads it from there. One object at a time; it puts the default
// actions back when it goes.
class EndingSignals : public QObject
{
    Q_OBJECT
public:
    explicit EndingSignals(std::function<void(int signal)> received);
    ~EndingSignals() override;

private:
    void readPipe();

    std::function<void(int)> m_received;
    int m_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace pelloway
