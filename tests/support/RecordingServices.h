#pragma once
// Recording fakes of the main window's services, all writing into one log so a test can
// check the order of calls across them. Use them where the order is the point; use the real
// services elsewhere.

#include "character/CharacterWindow.h"
#include "platform/Mci.h"
#include "platform/Pop3Library.h"
#include "platform/Ras.h"
#include "platform/WindowStacking.h"

#include <QStringList>

namespace pelloway::test {

class CallLog
{
public:
    void add(const QString& entry) { m_entries.append(entry); }
    QStringList entries() const { return m_entries; }
    QStringList take()
    {
        QStringList out = m_entries;
        m_entries.clear();
        return out;
    }
    // Entries starting with a prefix, e.g. "mci:".
    QStringList with(const QString& prefix) const;

private:
    QStringList m_entries;
};

// The mail library: answers from the fields below; logs "pop3:<operation>(<args>)".
class RecordingPop3 final : public Pop3Library
{
public:
    explicit RecordingPop3(CallLog& log) : m_log(log) {}
    int connectResult = 1;
    int authenticateResult = 0;
    int mailSize = 10;
    QByteArray message = "failure text";
    ConnectFailure failure = ConnectFailure::None;

    int NMailInitializeWinSock() override;
    int NMailSetOption(int option, int value) override;
    int NMailPop3Connect(const QByteArray& server) override;
    int NMailPop3Authenticate(int handle, const QByteArray& id, const QByteArray& password,
                              bool apop) override;
    int NMailPop3GetMailStatus(int handle, int mailNo, std::span<char> subject, std::span<char> from,
                               std::span<char> date, std::span<char> header, int flag) override;
    int NMailPop3GetMailSize(int handle, int mailNo) override;
    int NMailPop3GetMail(int handle, int mailNo, std::span<char> subject, std::span<char> from,
                         std::span<char> date, std::span<char> header, std::span<char> body, int path,
                         int flag) override;
    int NMailPop3Close(int handle) override;
    int NMailGetMessage(int code, std::span<char> buffer, int& size) override;
    int NMailEndWinSock() override;
    ConnectFailure LastConnectFailure() const override { return failure; }

private:
    CallLog& m_log;
};

// The tune device: logs "mci:<command>"; "status" requests write `statusAnswer` when set.
class RecordingMci final : public Mci
{
public:
    explicit RecordingMci(CallLog& log) : m_log(log) {}
    QByteArray statusAnswer; // empty: the request fails and writes nothing
    unsigned result = 0;
    unsigned mciSendStringA(QByteArrayView command, std::span<char> reply) override;

private:
    CallLog& m_log;
};

// Dial-up: lists `connections` handles; logs "ras:enum" and "ras:hangup(<handle>)".
class RecordingRas final : public Ras
{
public:
    explicit RecordingRas(CallLog& log) : m_log(log) {}
    std::vector<std::uintptr_t> connections;
    unsigned RasEnumConnectionsA(std::span<RasConn> table, std::uint32_t& bufferSize,
                                 std::uint32_t& count) override;
    unsigned RasHangUpA(std::uintptr_t handle) override;
    void Flush() override { m_log.add(QStringLiteral("ras:flush")); }

private:
    CallLog& m_log;
};

// The character window: logs "character:show", "character:hide", "character:unload".
class RecordingCharacter final : public CharacterWindow
{
public:
    explicit RecordingCharacter(CallLog& log) : m_log(log) {}
    bool shown = false;
    void Show() override;
    void Hide() override;
    void Unload() override;

private:
    CallLog& m_log;
};

// Window stacking: logs "stacking:topmost(<window title>)" or "stacking:not-topmost(<window
// title>)" and changes nothing, so the window's flags show only what something else set.
class RecordingStacking final : public WindowStacking
{
public:
    explicit RecordingStacking(CallLog& log) : m_log(log) {}
    void SetTopmost(QWidget& window, bool topmost) override;

private:
    CallLog& m_log;
};

// All of them, sharing one log.
struct RecordingServices
{
    CallLog log;
    RecordingPop3 pop3{log};
    RecordingMci mci{log};
    RecordingRas ras{log};
    RecordingCharacter character{log};
    RecordingStacking stacking{log};
};

} // namespace pelloway::test
