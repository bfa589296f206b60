#pragma once
// Recording stand-ins for what one mail check reaches: the ten library operations and the
// main window's side (CheckHost). Both write into one timeline so a test sees the order of
// library calls, host calls, boxes and reports together.

#include "mail/CheckHost.h"
#include "mail/Pop3Library.h"
#include "platform/Ansi.h"

#include <QByteArray>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <map>

namespace pelloway::test {

class CheckFakePop3 final : public Pop3Library
{
public:
    explicit CheckFakePop3(QStringList& log) : m_log(log) {}

    int connectResult = 5;
    ConnectFailure failure = ConnectFailure::None;
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

private:
    bool failing(int mailNo) const { return failFromMessage > 0 && mailNo >= failFromMessage; }
    int note(const QString& entry, int result)
    {
        m_log.append(entry);
        return result;
    }
    QStringList& m_log;
};

class RecordingCheckHost final : public CheckHost
{
public:
    explicit RecordingCheckHost(QStringList& log) : m_log(log) {}

    int hangUpChoice = 0;
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
    void Command5_Click() override { m_log.append(QStringLiteral("hangup")); }
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

} // namespace pelloway::test
