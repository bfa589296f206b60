#pragma once
// Shared test fixtures: a temporary application folder laid out like an installation.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace pelloway::test {

// A temporary application folder holding "★MailData" (with the three pictures copied from
// the source tree) and "Sound". Removed when it goes out of scope.
class AppFolder
{
public:
    explicit AppFolder(bool withDataFolder = true);
    QString path() const { return m_dir.path(); }
    QString dataPath() const;
    QString file(const QString& relative) const { return path() + u'/' + relative; }

private:
    QTemporaryDir m_dir;
};

// The bytes of a file, or an empty array when it cannot be read.
QByteArray ReadBytes(const QString& path);
bool WriteBytes(const QString& path, const QByteArray& bytes);

// The source tree, from PELLOWAY_SOURCE_DIR.
QString SourceDir();

// Stops a process the test started, by its PID: SIGTERM, then SIGKILL after `graceMs`.
void StopProcess(QProcess& process, int graceMs = 5000);

// Sends what the process writes to standard error into a temporary file while it lives;
// take() ends that and returns the bytes.
class StderrCapture
{
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
    QByteArray take();

private:
    QTemporaryDir m_dir;
    int m_saved = -1;
};

} // namespace pelloway::test
