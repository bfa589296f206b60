#include "support/RecordingServices.h"

#include "mail/NMailLibrary.h"
#include "platform/Ansi.h"

#include <QWidget>
#include <algorithm>
#include <array>
#include <tuple>

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

int RecordingPop3::note(const QString& entry, int result)
{
    m_log.add(QStringLiteral("pop3:") + entry);
    return result;
}

int RecordingPop3::NMailInitializeWinSock()
{
    return note(QStringLiteral("init"), 0);
}

int RecordingPop3::NMailSetOption(int option, int value)
{
    return note(QStringLiteral("option(%1,%2)").arg(option).arg(value), 0);
}

int RecordingPop3::NMailPop3Connect(const QByteArray& server)
{
    if (m_connects++ > 0 && !laterConnects.isEmpty())
        std::tie(connectResult, failure) = laterConnects.takeFirst();
    return note(QStringLiteral("connect(%1)").arg(FromAnsi(server)), connectResult);
}

int RecordingPop3::NMailPop3Authenticate(int handle, const QByteArray& id, const QByteArray& password,
                                         bool apop)
{
    lastId = id;
    lastPassword = password;
    return note(QStringLiteral("authenticate(%1,%2,%3,%4)")
                    .arg(handle)
                    .arg(FromAnsi(id), FromAnsi(password), apop ? u"apop" : u"user"),
                authenticateResult);
}

int RecordingPop3::NMailPop3GetMailStatus(int handle, int mailNo, std::span<char> subject,
                                          std::span<char> from, std::span<char> date, std::span<char> header,
                                          int flag)
{
    const bool sized = std::ranges::all_of(std::array{subject, from, date, header},
                                           [](std::span<char> b) { return b.size() == TextBufferSize + 1; });
    return note(QStringLiteral("status(%1,%2,%3)%4")
                    .arg(handle)
                    .arg(mailNo)
                    .arg(flag)
                    .arg(sized ? QString() : QStringLiteral(" BADSIZE")),
                failing(mailNo) ? -1 : 0);
}

int RecordingPop3::NMailPop3GetMailSize(int handle, int mailNo)
{
    const auto it = sizes.find(mailNo);
    return note(QStringLiteral("size(%1,%2)").arg(handle).arg(mailNo), failing(mailNo)     ? -1
                                                                       : it == sizes.end() ? mailSize
                                                                                           : it->second);
}

int RecordingPop3::NMailPop3GetMail(int handle, int mailNo, std::span<char>, std::span<char>, std::span<char>,
                                    std::span<char>, std::span<char> body, int path, int flag)
{
    lastBodySize = body.size();
    return note(
        QStringLiteral("get(%1,%2,%3,%4,%5)").arg(handle).arg(mailNo).arg(body.size()).arg(path).arg(flag),
        failing(mailNo) ? -1 : 0);
}

int RecordingPop3::NMailPop3Close(int handle)
{
    return note(QStringLiteral("close(%1)").arg(handle), 0);
}

int RecordingPop3::NMailGetMessage(int code, std::span<char> buffer, int& size)
{
    lastMessageBufferSize = buffer.size();
    NMailLibrary::WriteText(buffer.first(std::min(buffer.size(), size_t(std::max(size, 0)))), message);
    return note(QStringLiteral("message(%1,%2)").arg(code).arg(size), 0);
}

int RecordingPop3::NMailEndWinSock()
{
    return note(QStringLiteral("end"), 0);
}

int RecordingPop3::NMailPop3GetUidl(int handle, int mailNo, std::span<char> uidl)
{
    const auto it = uids.find(mailNo);
    const QByteArray id = it == uids.end() ? QByteArray() : it->second;
    const int written = NMailLibrary::WriteText(uidl, id);
    // One line per listing, as the server is asked once.
    if (mailNo == 1 || id.isEmpty())
        note(QStringLiteral("uidl(%1,%2)").arg(handle).arg(mailNo), 0);
    return id.isEmpty() ? -1 : written;
}

int RecordingPop3::NMailPop3QueueHeaders(int handle, std::span<const int> mailNos)
{
    QStringList numbers;
    for (int k : mailNos)
        numbers << QString::number(k);
    return note(QStringLiteral("queue(%1,%2)").arg(handle).arg(numbers.join(u',')), int(mailNos.size()));
}

int RecordingPop3::NMailPop3GetMailHeader(int handle, int mailNo, std::span<char> subject,
                                          std::span<char> from, std::span<char> date, std::span<char> header)
{
    const auto it = headers.find(mailNo);
    const bool found = it != headers.end();
    NMailLibrary::WriteText(from, ToAnsi(found ? it->second.first : QString()));
    NMailLibrary::WriteText(subject, ToAnsi(found ? it->second.second : QString()));
    NMailLibrary::WriteText(date, {});
    NMailLibrary::WriteText(header, {});
    return note(QStringLiteral("top(%1,%2)").arg(handle).arg(mailNo), found ? 0 : -1);
}

pop3::CertificateProblem RecordingPop3::LastCertificateProblem() const
{
    return failure == ConnectFailure::Certificate ? problem : pop3::CertificateProblem();
}

void RecordingPop3::SetTrustedCertificates(const QHash<QString, QByteArray>& trusted)
{
    QStringList pairs;
    for (auto it = trusted.begin(); it != trusted.end(); ++it)
        pairs.append(it.key() + u'=' + QString::fromLatin1(it.value().toHex().left(8)));
    if (!pairs.isEmpty())
        note(QStringLiteral("trust(%1)").arg(pairs.join(u' ')), 0);
}

void RecordingCheckHost::ShowPicture(const QString& fileName)
{
    m_log.add(QStringLiteral("host:picture(%1)").arg(fileName));
}

void RecordingCheckHost::SetAccountFields(const QString& id, const QString& password)
{
    idText = id;
    passText = password;
    m_log.add(QStringLiteral("host:account(%1|%2)").arg(id, password));
}

void RecordingCheckHost::CheckFinished(const QString& result, const QString& failureLine)
{
    ++finished;
    lastResult = result;
    lastFailureLine = failureLine;
}

unsigned RecordingMci::mciSendStringA(QByteArrayView command, std::span<char> reply)
{
    m_log.add(QStringLiteral("mci:") + QString::fromLocal8Bit(command));
    if (command.startsWith("status")) {
        if (statusAnswer.isEmpty())
            return 263;
        NMailLibrary::WriteText(reply, statusAnswer);
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
