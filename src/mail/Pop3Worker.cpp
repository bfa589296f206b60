#include "mail/Pop3Worker.h"

#include "mail/Wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>

namespace pelloway {

struct Pop3Worker::Job
{
    const std::function<void()>* work = nullptr;
    QPointer<QEventLoop> waiting; // the caller's loop, told when the job is done
    bool done = false;
};

class Pop3Worker::Thread final : public QThread
{
public:
    explicit Thread(Pop3Worker& worker) : m_worker(worker) {}

protected:
    // The thread has its own event dispatcher (the sockets need one) but no event loop:
    // jobs come only through the queue, so one never starts inside another's wait.
    void run() override { m_worker.Serve(); }

private:
    Pop3Worker& m_worker;
};

Pop3Worker::Pop3Worker() : m_thread(std::make_unique<Thread>(*this))
{
    m_thread->setObjectName(QStringLiteral("pop3"));
    m_thread->start();
}

Pop3Worker::~Pop3Worker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread->wait();
}

void Pop3Worker::Serve()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_jobs.empty())
            return;
        Job* job = m_jobs.front();
        lock.unlock();
        (*job->work)();
        lock.lock();
        m_jobs.pop_front();
        job->done = true;
        if (QEventLoop* loop = job->waiting.data())
            QMetaObject::invokeMethod(
                loop, [loop] { loop->quit(); }, Qt::QueuedConnection);
        m_changed.notify_all();
    }
}

void Pop3Worker::Run(const std::function<void()>& job)
{
    QEventLoop loop;
    Job entry{&job, QCoreApplication::instance() ? &loop : nullptr};
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(&entry);
    }
    m_changed.notify_all();
    if (entry.waiting) {
        const bool finished = RunLoop(loop, [&] {
            std::lock_guard lock(m_mutex);
            return entry.done;
        });
        if (!finished)
            m_abandon->store(true);
    }
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return entry.done; });
}

} // namespace pelloway
