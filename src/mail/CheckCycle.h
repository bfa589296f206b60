#pragma once

#include "mail/MsgForm.h"
#include "platform/Form.h"
#include "platform/TlsTrust.h"

#include <QString>
#include <functional>
#include <memory>
#include <span>

class QMessageBox;

namespace pelloway {

class CheckHost;
class Notifications;
class Pop3Library;
class SettingsFiles;
struct SharedValues;

// One whole mail check: connect, log in, count and fetch, close, report, hang up. With the
// new-only choice the count is of the messages not seen before, and nothing is fetched.
class CheckCycle
{
public:
    CheckCycle(Pop3Library& library, SettingsFiles& files, SharedValues& values, CheckHost& host);
    ~CheckCycle();

    // Runs one check to its end. A call while a check is running (from a tick or a menu
    // command delivered during its waits) does nothing. When the program is told to end
    // during the report, the check stops there.
    void CheckNewMail();
    bool IsRunning() const { return m_running; }

    // The message window of the current report; loaded only while a report runs.
    FormHolder<MsgForm>& msgForm() { return m_msgForm; }

    // How a report waits, how the library's reason is shown, how the user is asked to trust
    // a certificate and how a failure reason is written out. Tests replace them; by default:
    // WaitMilliseconds, ShowErrorBox, TrustQuestion::Ask and one line on standard error.
    std::function<void(int ms)> wait;
    std::function<void(const QString& text)> errorBox;
    std::function<bool(const pop3::CertificateProblem& problem)> trustQuestion;
    std::function<void(const QString& line)> failureLine;
    // Where a check with the new-only choice also tells who wrote; none by default.
    Notifications* notifications = nullptr;

    // The texts of the message window.
    static inline const QString NoNewMailText = QStringLiteral("新着メールはありませんでした。");
    static inline const QString NewMailText = QStringLiteral("新着メールが有ります");
    static inline const QString ConnectFailedText = QStringLiteral("メールサーバーに接続できませんでした。");
    static inline const QString NoServerText = QStringLiteral("POP3サーバーが設定されていません。");
    static constexpr int ReportMilliseconds = 1000;
    // A body buffer never grows past this, whatever size the library reports for a message.
    static constexpr int BodyBufferLimit = 64 * 1024 * 1024;

    // The modal "エラー" box: the text as plain text, an OK button only.
    static std::unique_ptr<QMessageBox> MakeErrorBox(const QString& text);
    static void ShowErrorBox(const QString& text);
    // One line for standard error: control characters (the server's line ends) become blanks.
    static QString FailureLine(const QString& reason);

private:
    // Connects with the certificate trusted for the server. A certificate that fails the
    // check is put to the user; when they trust it, it is saved and the connect runs once
    // more. `refused` tells whether the user declined to trust it.
    int connect(bool& refused);
    QString libraryMessage(std::span<char> buffer);
    void fail(const QString& reason);
    // False when the program began ending during the report's wait.
    bool report(const QString& message, const QString& number);

    Pop3Library& m_library;
    SettingsFiles& m_files;
    SharedValues& m_values;
    CheckHost& m_host;
    FormHolder<MsgForm> m_msgForm;
    bool m_running = false;
    QString m_failureLine; // the current check's first failure, as written out
};

} // namespace pelloway
