#include "support/RecordingServices.h"

#include <QWidget>
#include <algorithm>
#include <cstring>

namespace pelloway::test {

QStringList CallLog::with(const QString& prefix) const
{
    QStringList out;
    for (const QString& e : m_entries) {
        if (e.startsWith(prefix))
            out.append(e);
    }
    return out;
}

namespace {

void writeText(std::span<char> buffer, QByteArrayView text)
{
    if (buffer.empty())
        return;
    const size_t n = std::min(size_t(text.size()), buffer.size() - 1);
    std::memcpy(buffer.data(), text.data(), n);
    buffer[n] = '\0';
}

} // namespace

int RecordingPop3::NMailInitializeWinSock()
{
    m_log.add(QStringLiteral("pop3:init"));
    return 0;
}

int RecordingPop3::NMailSetOption(int option, int value)
{
    m_log.add(QStringLiteral("pop3:option(%1,%2)").arg(option).arg(value));
    return 0;
}

int RecordingPop3::NMailPop3Connect(const QByteArray& server)
{
    m_log.add(QStringLiteral("pop3:connect(%1)").arg(QString::fromLatin1(server)));
    return connectResult;
}

int RecordingPop3::NMailPop3Authenticate(int handle, const QByteArray& id, const QByteArray& password,
                                         bool apop)
{
    m_log.add(QStringLiteral("pop3:authenticate(%1,%2,%3,%4)")
                  .arg(handle)
                  .arg(QString::fromLatin1(id), QString::fromLatin1(password), apop ? u"apop" : u"user"));
    return authenticateResult;
}

int RecordingPop3::NMailPop3GetMailStatus(int handle, int mailNo, std::span<char> subject,
                                          std::span<char> from, std::span<char> date, std::span<char> header,
                                          int flag)
{
    m_log.add(
        QStringLiteral("pop3:status(%1,%2,%3,%4)").arg(handle).arg(mailNo).arg(subject.size()).arg(flag));
    for (auto b : {subject, from, date, header})
        writeText(b, "field");
    return 0;
}

int RecordingPop3::NMailPop3GetMailSize(int handle, int mailNo)
{
    m_log.add(QStringLiteral("pop3:size(%1,%2)").arg(handle).arg(mailNo));
    return mailSize;
}

int RecordingPop3::NMailPop3GetMail(int handle, int mailNo, std::span<char> subject, std::span<char> from,
                                    std::span<char> date, std::span<char> header, std::span<char> body,
                                    int path, int flag)
{
    m_log.add(QStringLiteral("pop3:get(%1,%2,%3,%4,%5)")
                  .arg(handle)
                  .arg(mailNo)
                  .arg(body.size())
                  .arg(path)
                  .arg(flag));
    for (auto b : {subject, from, date, header})
        writeText(b, "field");
    writeText(body, QByteArray(body.size(), 'b'));
    return 0;
}

int RecordingPop3::NMailPop3Close(int handle)
{
    m_log.add(QStringLiteral("pop3:close(%1)").arg(handle));
    return 0;
}

int RecordingPop3::NMailGetMessage(int code, std::span<char> buffer, int& size)
{
    m_log.add(QStringLiteral("pop3:message(%1,%2)").arg(code).arg(size));
    writeText(buffer.first(std::min(buffer.size(), size_t(std::max(size, 0)) + 1)), message);
    return 0;
}

int RecordingPop3::NMailEndWinSock()
{
    m_log.add(QStringLiteral("pop3:end"));
    return 0;
}

unsigned RecordingMci::mciSendStringA(QByteArrayView command, std::span<char> reply)
{
    m_log.add(QStringLiteral("mci:") + QString::fromLocal8Bit(command));
    if (command.startsWith("status")) {
        if (statusAnswer.isEmpty())
            return 263;
        writeText(reply, statusAnswer);
    }
    return result;
}

unsigned RecordingRas::RasEnumConnectionsA(std::span<RasConn> table, std::uint32_t& bufferSize,
                                           std::uint32_t& count)
{
    m_log.add(QStringLiteral("ras:enum(%1,%2,%3)").arg(table[0].dwSize).arg(bufferSize).arg(table.size()));
    count = 0;
    if (connections.size() > table.size())
        return 603;
    for (std::uintptr_t handle : connections)
        table[count++].hrasconn = handle;
    return 0;
}

unsigned RecordingRas::RasHangUpA(std::uintptr_t handle)
{
    m_log.add(QStringLiteral("ras:hangup(%1)").arg(handle));
    return 0;
}

void RecordingCharacter::Show()
{
    shown = true;
    m_log.add(QStringLiteral("character:show"));
}

void RecordingCharacter::Hide()
{
    shown = false;
    m_log.add(QStringLiteral("character:hide"));
}

void RecordingCharacter::Unload()
{
    shown = false;
    m_log.add(QStringLiteral("character:unload"));
}

void RecordingStacking::SetTopmost(QWidget& window, bool topmost)
{
    m_log.add((topmost ? QStringLiteral("stacking:topmost(%1)") : QStringLiteral("stacking:not-topmost(%1)"))
                  .arg(window.windowTitle()));
}

} // namespace pelloway::test
