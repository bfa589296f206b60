#pragma once
// Recording stand-ins for what one mail check reaches: the ten library operations and the
// main window's side (CheckHost). Both write into one timeline so a test sees the order of
// library calls, host calls, boxes and reports together.

#include "mail/CheckHost.h"
#include "platform/Ansi.h"
#include "platform/Notifications.h"
#include "platform/Pop3Library.h"

#include <QByteArray>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <map>
#include <tuple>
#include <utility>

namespace pelloway::test {

class CheckFakePop3 final : public Pop3Library
{
public:
    explicit CheckFakePop3(QStringList& log) : m_log(log) {}

    int connectResult = 5;
    ConnectFailure failure = ConnectFailure::None;
    // The result and failure of each connect after the first, in turn.
    QList<std::pair<int, ConnectFailure>> laterConnects;
    // Shown after a Certificate failure.
    pop3::CertificateProblem problem;
    int authenticateResult = 0;
    std::map<int, int> sizes; // message number -> size; missing -> 100
    int failFromMessage = 0;  // messages from this number on fail every call (0: none)
    QByteArray messageText = QByteArray("-ERR wrong password\0tail", 24);

    // What the last calls were given.
    QByteArray lastId, lastPassword;
    std::size_t lastBodySize = 0;
    std::size_t lastMessageBufferSize = 0;

    int NMailInitializeWinSock() override { return note(QStringLiteral("init"), 0); }
    int NMailSetOption(int option, int value) override
    {
        return note(QStringLiteral("option %1 %2").arg(option).arg(value), 0);
    }
    int NMailPop3Connect(const QByteArray& server) override
    {
        if (m_connects++ > 0 && !laterConnects.isEmpty())
            std::tie(connectResult, failure) = laterConnects.takeFirst();
        return note(QStringLiteral("connect ") + FromAnsi(server), connectResult);
    }
    int NMailPop3Authenticate(int handle, const QByteArray& id, const QByteArray& password,
                              bool apop) override
    {
        lastId = id;
        lastPassword = password;
        return note(QStringLiteral("auth %1 %2 %3 %4")
                        .arg(handle)
                        .arg(FromAnsi(id), FromAnsi(password),
                             apop ? QStringLiteral("true") : QStringLiteral("false")),
                    authenticateResult);
    }
    int NMailPop3GetMailStatus(int handle, int mailNo, std::span<char> subject, std::span<char> from,
                               std::span<char> date, std::span<char> header, int flag) override
    {
        const bool sized = subject.size() == TextBufferSize + 1 && from.size() == TextBufferSize + 1 &&
                           date.size() == TextBufferSize + 1 && header.size() == TextBufferSize + 1;
        return note(QStringLiteral("status %1 %2 %3%4")
                        .arg(handle)
                        .arg(mailNo)
                        .arg(flag)
                        .arg(sized ? QString() : QStringLiteral(" BADSIZE")),
                    failing(mailNo) ? -1 : 0);
    }
    int NMailPop3GetMailSize(int handle, int mailNo) override
    {
        const auto it = sizes.find(mailNo);
        return note(QStringLiteral("size %1 %2").arg(handle).arg(mailNo), failing(mailNo)     ? -1
                                                                          : it == sizes.end() ? 100
                                                                                              : it->second);
    }
    int NMailPop3GetMail(int handle, int mailNo, std::span<char>, std::span<char>, std::span<char>,
                         std::span<char>, std::span<char> body, int path, int flag) override
    {
        lastBodySize = body.size();
        return note(
            QStringLiteral("get %1 %2 %3 %4 %5").arg(handle).arg(mailNo).arg(body.size()).arg(path).arg(flag),
            failing(mailNo) ? -1 : 0);
    }
    int NMailPop3Close(int handle) override { return note(QStringLiteral("close %1").arg(handle), 0); }
    int NMailGetMessage(int code, std::span<char> buffer, int& size) override
    {
        lastMessageBufferSize = buffer.size();
        const std::size_t room = std::min(buffer.size(), std::size_t(std::max(size, 0)));
        if (room > 0) {
            const std::size_t n = std::min(room - 1, std::size_t(messageText.size()));
            std::memcpy(buffer.data(), messageText.constData(), n);
            buffer[n] = '\0';
        }
        return note(QStringLiteral("message %1 %2").arg(code).arg(size), 0);
    }
    int NMailEndWinSock() override { return note(QStringLiteral("end"), 0); }
    ConnectFailure LastConnectFailure() const override { return failure; }
    pop3::CertificateProblem LastCertificateProblem() const override
    {
        return failure == ConnectFailure::Certificate ? problem : pop3::CertificateProblem();
    }
    void SetTrustedCertificates(const QHash<QString, QByteArray>& trusted) override
    {
        QStringList pairs;
        for (auto it = trusted.begin(); it != trusted.end(); ++it)
            pairs.append(it.key() + u'=' + QString::fromLatin1(it.value().toHex().left(8)));
        if (!pairs.isEmpty())
            note(QStringLiteral("trust ") + pairs.join(u' '), 0);
    }

    // Unique ids by message number; none at all: the server refuses UIDL.
    std::map<int, QByteArray> uids;
    // Headers by message number: "From|Subject"; missing: TOP refused.
    std::map<int, std::pair<QString, QString>> headers;

    int NMailPop3GetUidl(int handle, int mailNo, std::span<char> uidl) override
    {
        const auto it = uids.find(mailNo);
        const QByteArray id = it == uids.end() ? QByteArray() : it->second;
        const std::size_t n = std::min(std::size_t(id.size()), uidl.size() - 1);
        std::memcpy(uidl.data(), id.constData(), n);
        uidl[n] = '\0';
        // One line per listing, as the server is asked once.
        if (mailNo == 1 || id.isEmpty())
            note(QStringLiteral("uidl %1 %2").arg(handle).arg(mailNo), 0);
        return id.isEmpty() ? -1 : int(n);
    }
    int NMailPop3QueueHeaders(int handle, std::span<const int> mailNos) override
    {
        QStringList numbers;
        for (int k : mailNos)
            numbers << QString::number(k);
        return note(QStringLiteral("queue %1 %2").arg(handle).arg(numbers.join(u',')), int(mailNos.size()));
    }
    int NMailPop3GetMailHeader(int handle, int mailNo, std::span<char> subject, std::span<char> from,
                               std::span<char> date, std::span<char> header) override
    {
        const auto it = headers.find(mailNo);
        const auto put = [](std::span<char> buffer, const QString& text) {
            const QByteArray bytes = ToAnsi(text);
            const std::size_t n = std::min(std::size_t(bytes.size()), buffer.size() - 1);
            std::memcpy(buffer.data(), bytes.constData(), n);
            buffer[n] = '\0';
        };
        put(from, it == headers.end() ? QString() : it->second.first);
        put(subject, it == headers.end() ? QString() : it->second.second);
        put(date, {});
        put(header, {});
        return note(QStringLiteral("top %1 %2").arg(handle).arg(mailNo), it == headers.end() ? -1 : 0);
    }

private:
    bool failing(int mailNo) const { return failFromMessage > 0 && mailNo >= failFromMessage; }
    int note(const QString& entry, int result)
    {
        m_log.append(entry);
        return result;
    }
    QStringList& m_log;
    int m_connects = 0;
};

class RecordingCheckHost final : public CheckHost
{
public:
    explicit RecordingCheckHost(QStringList& log) : m_log(log) {}

    int hangUpChoice = 0;
    int newMailOnlyChoice = 0;
    QString idText, passText;

    void ShowPicture(const QString& fileName) override
    {
        m_log.append(QStringLiteral("picture ") + fileName);
    }
    void SetAccountFields(const QString& id, const QString& password) override
    {
        idText = id;
        passText = password;
        m_log.append(QStringLiteral("account %1|%2").arg(id, password));
    }
    void ShowIdPassForm() override { m_log.append(QStringLiteral("idpass")); }
    int HangUpChoice() override { return hangUpChoice; }
    int NewMailOnlyChoice() override { return newMailOnlyChoice; }
    void HangUp() override { m_log.append(QStringLiteral("hangup")); }
    void ShowCharacterWindow() override { m_log.append(QStringLiteral("character")); }
    // What the last check ended with (the main window's tooltip shows it).
    void CheckFinished(const QString& result, const QString& failureLine) override
    {
        ++finished;
        lastResult = result;
        lastFailureLine = failureLine;
    }
    int finished = 0;
    QString lastResult, lastFailureLine;

private:
    QStringList& m_log;
};

// Desktop notifications into the timeline: "notify <summary>|<body>".
class RecordingNotifications final : public Notifications
{
public:
    explicit RecordingNotifications(QStringList& log) : m_log(log) {}
    void Notify(const QString& summary, const QString& body) override
    {
        m_log.append(QStringLiteral("notify ") + summary + u'|' + body);
    }

private:
    QStringList& m_log;
};

} // namespace pelloway::test
