#pragma once
// The thread the mail library's network work runs on, so that the window's thread is never
// held by a server.
//
// Run hands a job to the worker and delivers the calling thread's window events until the
// job is done: the window repaints, timers tick and menus open meanwhile. When the program
// begins ending during the wait, the abandon flag is raised, which makes every wait of the
// connections end at once; Run still returns only after the job has, so nothing the job
// refers to goes away under it. Jobs run one at a time, in the order given, also when a
// job is handed over from inside another one's wait.

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace pelloway {

class Pop3Worker
{
public:
    Pop3Worker();
    ~Pop3Worker();
    Pop3Worker(const Pop3Worker&) = delete;
    Pop3Worker& operator=(const Pop3Worker&) = delete;

    void Run(const std::function<void()>& job);

    // Raised by Run when the program ends, or by the owner; shared with the connections.
    const std::shared_ptr<std::atomic<bool>>& AbandonFlag() const { return m_abandon; }

private:
    struct Job;
    class Thread;

    void Serve();

    std::shared_ptr<std::atomic<bool>> m_abandon = std::make_shared<std::atomic<bool>>(false);
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Job*> m_jobs;
    bool m_stopping = false;
    std::unique_ptr<QThread> m_thread;
};

} // namespace pelloway
