#include "mail/CheckCycle.h"

#include "mail/CheckHost.h"
#include "mail/NMailText.h"
#include "mail/NewMailCounter.h"
#include "mail/TrustQuestion.h"
#include "mail/Wait.h"
#include "platform/Ansi.h"
#include "platform/Notifications.h"
#include "platform/Pop3Library.h"
#include "platform/linux/pop3/ServerAddress.h"
#include "settings/SettingsFiles.h"
#include "settings/SharedValues.h"

#include <QLineEdit>
#include <QMessageBox>
#include <algorithm>
#include <array>
#include <cstdio>
#include <new>
#include <optional>
#include <vector>

namespace pelloway {

namespace {

constexpr int TextBufferSize = Pop3Library::TextBufferSize;

// The four text buffers of one check: 8192 characters each (spaces) and a NUL.
struct TextBuffers
{
    TextBuffers()
    {
        for (auto& buffer : text) {
            buffer.assign(TextBufferSize + 1, ' ');
            buffer.back() = '\0';
        }
    }
    std::span<char> operator[](int i) { return text[i]; }
    std::array<std::vector<char>, 4> text;
};

// Resets the running flag however the check ends.
struct RunningFlag
{
    explicit RunningFlag(bool& flag) : flag(flag) { flag = true; }
    ~RunningFlag() { flag = false; }
    bool& flag;
};

} // namespace

CheckCycle::CheckCycle(Pop3Library& library, SettingsFiles& files, SharedValues& values, CheckHost& host)
    : wait([](int ms) { WaitMilliseconds(ms); }), errorBox(&CheckCycle::ShowErrorBox),
      trustQuestion(&TrustQuestion::Ask), failureLine([](const QString& line) {
          std::fputs(line.toLocal8Bit().append('\n').constData(), stderr);
          std::fflush(stderr);
      }),
      m_library(library), m_files(files), m_values(values), m_host(host),
      m_msgForm([] { return new MsgForm(); })
{}

CheckCycle::~CheckCycle() = default;

std::unique_ptr<QMessageBox> CheckCycle::MakeErrorBox(const QString& text)
{
    auto box =
        std::make_unique<QMessageBox>(QMessageBox::NoIcon, QStringLiteral("エラー"), text, QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText); // the server's words, never markup
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    box->setWindowModality(Qt::ApplicationModal);
    return box;
}

void CheckCycle::ShowErrorBox(const QString& text)
{
    MakeErrorBox(text)->exec();
}

QString CheckCycle::FailureLine(const QString& reason)
{
    QString line = QStringLiteral("pelloway: mail check: ") + reason;
    for (QChar& c : line) {
        if (c.category() == QChar::Other_Control)
            c = u' ';
    }
    return line;
}

QString CheckCycle::libraryMessage(std::span<char> buffer)
{
    int size = TextBufferSize;
    m_library.NMailGetMessage(0, buffer, size);
    return FromAnsi(TrimAtNul(QByteArrayView(buffer.data(), qsizetype(buffer.size()))));
}

void CheckCycle::fail(const QString& reason)
{
    const QString line = FailureLine(reason);
    if (m_failureLine.isEmpty())
        m_failureLine = line;
    if (failureLine)
        failureLine(line);
}

int CheckCycle::connect(bool& refused)
{
    refused = false;
    const QByteArray server = ToAnsi(m_values.PopServer);
    const QString key = pop3::ServerAddress::Parse(m_values.PopServer).Key();
    QHash<QString, QByteArray> trusted;
    if (const QByteArray digest = m_files.TrustedCertificate(key); !digest.isEmpty())
        trusted.insert(key, digest);
    m_library.SetTrustedCertificates(trusted);
    const int handle = m_library.NMailPop3Connect(server);
    if (handle != -1 || m_library.LastConnectFailure() != Pop3Library::ConnectFailure::Certificate ||
        !trustQuestion)
        return handle;
    const pop3::CertificateProblem problem = m_library.LastCertificateProblem();
    if (problem.isNull())
        return handle;
    if (!trustQuestion(problem)) {
        refused = true;
        return -1;
    }
    const QByteArray digest = pop3::CertificateDigest(problem.certificate);
    if (!m_files.TrustCertificate(problem.server, digest))
        fail(QStringLiteral("cannot save the trusted certificate to %1").arg(m_files.trustPath()));
    m_library.SetTrustedCertificates({{problem.server, digest}});
    return m_library.NMailPop3Connect(server);
}

void CheckCycle::CheckNewMail()
{
    if (m_running)
        return;
    RunningFlag running(m_running);
    m_failureLine.clear();

    // 1. The buffers and the count.
    TextBuffers buffers;
    int messageCount = 0;
    // What a check that reaches no server reports (the box of a failed connect may let the
    // server dialog change the server in the meantime).
    QString unreached;
    // The new-only count, when the choice is on and the server gives unique ids.
    std::optional<NewMailCounter> newMail;
    std::vector<NewMailEntry> newest;

    // 2. No server: nothing to connect to.
    if (m_values.PopServer.isEmpty()) {
        unreached = NoServerText;
        fail(QStringLiteral("no POP3 server is set"));
    } else {
        // 3. Connect.
        bool refused = false;
        const int handle = connect(refused);
        const QString server = pop3::ServerAddress::Redacted(m_values.PopServer);
        if (handle == -1) {
            unreached = ConnectFailedText;
            // A certificate failure or a server without TLS needs the user; a certificate
            // they have just refused to trust needs no box after the question.
            const Pop3Library::ConnectFailure failure = m_library.LastConnectFailure();
            const bool mustAct = failure == Pop3Library::ConnectFailure::Certificate ||
                                 failure == Pop3Library::ConnectFailure::Unencrypted;
            const QString reason = libraryMessage(buffers[0]);
            fail(QStringLiteral("cannot connect to %1: %2").arg(server, reason));
            if (mustAct && !refused && errorBox)
                errorBox(reason);
        } else {
            // 4, 5. The saved account, into the account dialog's fields and the shared values.
            const auto [id, password] = m_files.LoadSavedAccount();
            m_host.SetAccountFields(id, password);
            m_values.AccountId = id;
            m_values.AccountPassword = password;

            if (id.isEmpty() || password.isEmpty()) {
                // 6. Ask for the account; no login this time.
                m_host.ShowIdPassForm();
                fail(QStringLiteral("no account ID or password is saved; the account dialog is open"));
            } else {
                // 7. Log in and take the count.
                messageCount =
                    m_library.NMailPop3Authenticate(handle, ToAnsi(m_values.AccountId),
                                                    ToAnsi(m_values.AccountPassword), m_values.ApopFlag != 0);
                // With the new-only choice the unique ids decide what is new, and nothing is
                // retrieved; a server without them gets the usual check.
                if (messageCount >= 0 && m_host.NewMailOnlyChoice() == 1) {
                    newMail.emplace(m_library, SeenMail(m_files.seenMailPath()), m_values.PopServer,
                                    m_values.AccountId);
                    if (newMail->Count(handle, messageCount, buffers[0])) {
                        if (newMail->SeenWasDamaged())
                            fail(
                                QStringLiteral("the list of mail seen before (%1) was damaged: every message "
                                               "counts as new once")
                                    .arg(m_files.seenMailPath()));
                        messageCount = newMail->NewCount();
                        if (messageCount > 0 && notifications)
                            newest = newMail->ReadNewest(handle, NewMailNotices::MaxListed,
                                                         {buffers[0], buffers[1], buffers[2], buffers[3]});
                    } else {
                        fail(QStringLiteral(
                                 "%1 gives no unique ids (UIDL), so every message counts as new: %2")
                                 .arg(m_values.PopServer, newMail->reason()));
                        newMail.reset();
                    }
                }
                if (messageCount > 0 && !newMail) {
                    // Each message is read once and forgotten; nothing is deleted.
                    int unread = 0;
                    // A program ending meanwhile abandons the exchange: the rest is skipped.
                    for (int k = 1; k <= messageCount && !ProgramEnding(); ++k) {
                        const int status = m_library.NMailPop3GetMailStatus(handle, k, buffers[0], buffers[1],
                                                                            buffers[2], buffers[3], 0);
                        const int size = m_library.NMailPop3GetMailSize(handle, k);
                        // The size is that of the message as it arrived, so the buffer is
                        // never more than what came. The library writes the message and a
                        // NUL over it, so its pages are not touched beforehand.
                        std::size_t bodySize = std::size_t(std::clamp(size, 0, BodyBufferLimit)) + 1;
                        std::unique_ptr<char[]> body(new (std::nothrow) char[bodySize]);
                        if (!body) {
                            bodySize = 1;
                            body = std::make_unique<char[]>(1);
                        }
                        body[0] = '\0';
                        const int fetched = m_library.NMailPop3GetMail(
                            handle, k, buffers[0], buffers[1], buffers[2], buffers[3],
                            std::span<char>(body.get(), bodySize), 0, 0);
                        if (status < 0 || size < 0 || fetched < 0)
                            ++unread;
                    }
                    if (unread > 0)
                        fail(QStringLiteral("%1 of %2 messages on %3 could not be read")
                                 .arg(unread)
                                 .arg(messageCount)
                                 .arg(server));
                } else if (messageCount < 0) {
                    const QString reason = libraryMessage(buffers[0]);
                    fail(QStringLiteral("login to %1 failed: %2").arg(server, reason));
                    if (errorBox)
                        errorBox(reason);
                }
            }
            // 8. Close what was opened.
            m_library.NMailPop3Close(handle);
        }
    }
    // A program told to end during the exchange reports nothing.
    if (ProgramEnding())
        return;

    const QString number = QString::number(messageCount);
    m_host.CheckFinished(messageCount > 0      ? NewMailText + u' ' + number
                         : unreached.isEmpty() ? NoNewMailText + u' ' + number
                                               : unreached,
                         m_failureLine);

    if (messageCount > 0) {
        // 10. New mail: the new-mail picture, the report, the character window.
        m_host.ShowPicture(QStringLiteral("wife.gif"));
        // Who wrote, beside the report: the desktop shows it when it can.
        if (newMail && notifications) {
            const NewMailNotice notice = NewMailNotices::Make(messageCount, newest);
            notifications->Notify(notice.summary, notice.body);
        }
        if (!report(NewMailText, QString::number(messageCount)))
            return;
        m_host.ShowCharacterWindow();
    } else if (unreached.isEmpty()) {
        // 9. No new mail, or a failed login with its negative result.
        if (!report(NoNewMailText, QString::number(messageCount)))
            return;
    } else {
        // A check that never reached a server says so, with no number.
        if (!report(unreached, QString()))
            return;
    }

    // Told: from now on the mail on the server counts as seen.
    if (newMail && !newMail->Remember())
        fail(QStringLiteral("cannot write the list of mail seen before (%1)").arg(m_files.seenMailPath()));

    // 11. Hang up when chosen, whatever the check found.
    if (m_host.HangUpChoice() == 1)
        m_host.HangUp();
}

bool CheckCycle::report(const QString& message, const QString& number)
{
    // The first touch loads the window, and its load step shows it topmost.
    MsgForm& form = m_msgForm.get();
    form.Text1->setText(message);
    form.Text2->setText(number);
    form.show();
    if (wait)
        wait(ReportMilliseconds);
    m_msgForm.unload();
    // A program told to end during the wait ends at once: the check goes no further.
    return !ProgramEnding();
}

} // namespace pelloway
