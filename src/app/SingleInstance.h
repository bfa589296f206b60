#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;

namespace pelloway {

// One running copy per user and data folder. The first copy holds a lock file and listens
// on a local socket, both in the user's runtime folder and named after the data folder; a
// later copy finds the lock taken, asks the first over the socket to show its window and
// ends. A lock left by a copy that died is taken over.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // runtimeFolder: $XDG_RUNTIME_DIR (private to the user). key: the data folder.
    SingleInstance(const QString& runtimeFolder, const QString& key);
    ~SingleInstance() override;

    enum class Outcome
    {
        First,       // this copy runs; showRequested is called when another one starts
        OtherShown,  // another copy runs and has shown its window: end with status 0
        OtherBusy,   // another copy holds the lock but did not answer in time (a long check)
        Unavailable, // the runtime folder cannot hold the lock: run anyway
    };
    // Takes the lock or reaches the copy that holds it, trying for up to `patienceMs` while
    // the other copy is still starting, ending or busy.
    Outcome Claim(int patienceMs = 30000);

    std::function<void()> showRequested;

    QString socketPath() const { return m_socketPath; }

private:
    bool askFirstToShow();

    QString m_socketPath;
    QLockFile m_lock;
    std::unique_ptr<QLocalServer> m_server;
};

// The user's runtime folder ($XDG_RUNTIME_DIR, else a private folder Qt makes in /tmp).
QString RuntimeFolder();

} // namespace pelloway
