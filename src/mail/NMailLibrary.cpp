#include "mail/NMailLibrary.h"

#include "platform/Ansi.h"
#include "platform/linux/pop3/MessageHeaders.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace pelloway {

using pop3::Pop3Client;
using pop3::Pop3Error;
using pop3::Pop3Message;

namespace {

// The piece of a message moved into the caller's body buffer at a time.
constexpr size_t MoveStep = 1 << 20;
// Messages already received beyond the one asked for are kept up to this many bytes, so
// that small messages cost the worker one trip for many.
constexpr qsizetype ReadAheadBytes = 1 << 20;

bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

} // namespace

NMailLibrary::NMailLibrary(pop3::Pop3Options options) : m_options(std::move(options)) {}

NMailLibrary::~NMailLibrary()
{
    NMailEndWinSock();
}

int NMailLibrary::WriteText(std::span<char> buffer, QByteArrayView text, int limit)
{
    if (buffer.empty())
        return 0;
    const qsizetype room = std::min<qsizetype>(qsizetype(buffer.size()) - 1, std::max(limit, 0));
    qsizetype n = 0;
    while (n < text.size()) {
        const qsizetype width =
            IsLeadByte(static_cast<unsigned char>(text[n])) && n + 1 < text.size() ? 2 : 1;
        if (n + width > room)
            break;
        n += width;
    }
    if (n > 0)
        std::memcpy(buffer.data(), text.data(), size_t(n));
    buffer[size_t(n)] = '\0';
    return int(n);
}

int NMailLibrary::Failed(const QString& reason)
{
    m_lastReason = reason;
    return -1;
}

Pop3Client* NMailLibrary::Client(int handle)
{
    const auto it = m_connections.find(handle);
    return it == m_connections.end() ? nullptr : it->second.get();
}

int NMailLibrary::NMailInitializeWinSock()
{
    return 0;
}

int NMailLibrary::NMailSetOption(int, int)
{
    // Option 1 (8192) sized the caller's text buffers; ours are fixed at that size.
    return 0;
}

int NMailLibrary::NMailPop3Connect(const QByteArray& server)
{
    pop3::Pop3Options options = m_options;
    if (!options.abandon)
        options.abandon = m_worker.AbandonFlag();
    std::unique_ptr<Pop3Client> client;
    Pop3Error error = Pop3Error::None;
    QString reason;
    m_certificateProblem = pop3::CertificateProblem();
    m_worker.Run([&] {
        client = std::make_unique<Pop3Client>(options);
        if (!client->Connect(FromAnsi(server))) {
            error = client->Error();
            reason = client->Reason();
            m_certificateProblem = client->Untrusted();
            client.reset(); // its socket belongs to the worker: it goes there
        }
    });
    if (!client) {
        switch (error) {
        case Pop3Error::Certificate:
            m_connectFailure = ConnectFailure::Certificate;
            break;
        case Pop3Error::Unencrypted:
            m_connectFailure = ConnectFailure::Unencrypted;
            break;
        default:
            m_connectFailure = ConnectFailure::Network;
            break;
        }
        return Failed(reason);
    }
    m_connectFailure = ConnectFailure::None;
    if (m_nextHandle == INT_MAX)
        m_nextHandle = 1;
    const int handle = m_nextHandle++;
    m_connections[handle] = std::move(client);
    return handle;
}

int NMailLibrary::NMailPop3Authenticate(int handle, const QByteArray& id, const QByteArray& password,
                                        bool apop)
{
    Pop3Client* client = Client(handle);
    if (!client)
        return Failed(QStringLiteral("接続が正しくありません。"));
    int count = -1;
    m_worker.Run([&] { count = client->Authenticate(id, password, apop); });
    if (count < 0)
        return Failed(client->Reason());
    return count;
}

const Pop3Message* NMailLibrary::Message(int handle, int mailNo)
{
    Pop3Client* client = Client(handle);
    if (!client) {
        Failed(QStringLiteral("接続が正しくありません。"));
        return nullptr;
    }
    if (mailNo >= 1 && client->Current().number == mailNo)
        return &client->Current();
    // A message that could not be read is asked for once: the calls that follow for the
    // same number fail with the same reason.
    if ((m_unreadHandle == handle && m_unreadNumber == mailNo) || client->Closed()) {
        Failed(client->Reason());
        return nullptr;
    }
    const Pop3Message* message = nullptr;
    if (client->HasAhead(mailNo)) {
        // Read ahead by an earlier call: here already, no trip to the worker.
        message = client->TakeAhead(mailNo);
    } else {
        m_worker.Run([&] {
            message = client->Fetch(mailNo);
            if (message)
                client->ReadAhead(ReadAheadBytes);
        });
    }
    if (!message) {
        m_unreadHandle = handle;
        m_unreadNumber = mailNo;
        Failed(client->Reason());
    }
    return message;
}

void NMailLibrary::WriteFields(int handle, const Pop3Message& message, std::span<char> subject,
                               std::span<char> from, std::span<char> date, std::span<char> header)
{
    // Status and fetch of one message write the same four texts: work them out once.
    if (m_fieldsHandle != handle || m_fieldsNumber != message.number) {
        static constexpr const char* names[] = {"Subject", "From", "Date", "Message-ID"};
        for (size_t i = 0; i < m_fields.size(); ++i) {
            const QString text = pop3::HeaderField(message.bytes, names[i]);
            bool ascii = true;
            for (QChar c : text)
                ascii = ascii && c.unicode() < 0x80;
            m_fields[i] = ascii ? text.toLatin1() : ToAnsi(text);
        }
        m_fieldsHandle = handle;
        m_fieldsNumber = message.number;
    }
    WriteText(subject, m_fields[0]);
    WriteText(from, m_fields[1]);
    WriteText(date, m_fields[2]);
    WriteText(header, m_fields[3]);
}

int NMailLibrary::NMailPop3GetMailStatus(int handle, int mailNo, std::span<char> subject,
                                         std::span<char> from, std::span<char> date, std::span<char> header,
                                         int)
{
    const Pop3Message* message = Message(handle, mailNo);
    if (!message) {
        for (std::span<char> buffer : {subject, from, date, header})
            WriteText(buffer, {});
        return -1;
    }
    WriteFields(handle, *message, subject, from, date, header);
    return 0;
}

int NMailLibrary::NMailPop3GetMailSize(int handle, int mailNo)
{
    // The size of the message as it arrived, never the size the server claims for it: the
    // caller sizes its body buffer from this.
    const Pop3Message* message = Message(handle, mailNo);
    if (!message)
        return -1;
    return int(std::min<qsizetype>(message->bytes.size(), INT_MAX - 1));
}

int NMailLibrary::NMailPop3GetMail(int handle, int mailNo, std::span<char> subject, std::span<char> from,
                                   std::span<char> date, std::span<char> header, std::span<char> body, int,
                                   int)
{
    const Pop3Message* message = Message(handle, mailNo);
    if (!message) {
        for (std::span<char> buffer : {subject, from, date, header, body})
            WriteText(buffer, {});
        return -1;
    }
    WriteFields(handle, *message, subject, from, date, header);
    if (!body.empty()) {
        const size_t n = std::min(size_t(message->bytes.size()), body.size() - 1);
        body[n] = '\0';
        // From the end, a step at a time, the held copy shrinking behind: the message is
        // not in memory twice over while it moves into the caller's buffer.
        QByteArray held = Client(handle)->TakeMessageBytes();
        size_t left = n;
        while (left > 0) {
            const size_t step = std::min(left, MoveStep);
            left -= step;
            std::memcpy(body.data() + left, held.constData() + left, step);
            held.truncate(qsizetype(left));
            held.squeeze();
        }
    }
    // The caller has the message now; let it go before the next one arrives.
    Client(handle)->Release();
    return 0;
}

int NMailLibrary::NMailPop3GetUidl(int handle, int mailNo, std::span<char> uidl)
{
    WriteText(uidl, {});
    Pop3Client* client = Client(handle);
    if (!client)
        return Failed(QStringLiteral("接続が正しくありません。"));
    // The listing is asked for once; the ids of the other messages are at hand.
    QByteArray id = client->UniqueId(mailNo);
    if (id.isEmpty()) {
        int read = -1;
        m_worker.Run([&] { read = client->ReadUniqueIds(); });
        if (read < 1)
            return Failed(client->Reason());
        id = client->UniqueId(mailNo);
    }
    if (id.isEmpty())
        return Failed(QStringLiteral("メールのIDがありません。(%1)").arg(mailNo));
    if (qsizetype(uidl.size()) <= id.size())
        return Failed(QStringLiteral("メールのIDが長すぎます。(%1)").arg(mailNo));
    return WriteText(uidl, id, INT_MAX);
}

int NMailLibrary::NMailPop3QueueHeaders(int handle, std::span<const int> mailNos)
{
    Pop3Client* client = Client(handle);
    if (!client)
        return Failed(QStringLiteral("接続が正しくありません。"));
    bool queued = false;
    m_worker.Run([&] { queued = client->QueueHeaders(std::vector<int>(mailNos.begin(), mailNos.end())); });
    if (!queued)
        return Failed(client->Reason());
    return int(mailNos.size());
}

int NMailLibrary::NMailPop3GetMailHeader(int handle, int mailNo, std::span<char> subject,
                                         std::span<char> from, std::span<char> date, std::span<char> header)
{
    Pop3Client* client = Client(handle);
    const Pop3Message* message = nullptr;
    if (client)
        m_worker.Run([&] { message = client->FetchHeader(mailNo); });
    if (!message) {
        for (std::span<char> buffer : {subject, from, date, header})
            WriteText(buffer, {});
        return Failed(client ? client->Reason() : QStringLiteral("接続が正しくありません。"));
    }
    WriteFields(handle, *message, subject, from, date, header);
    client->Release();
    return 0;
}

int NMailLibrary::NMailPop3Close(int handle)
{
    const auto it = m_connections.find(handle);
    if (it == m_connections.end())
        return Failed(QStringLiteral("接続が正しくありません。"));
    m_worker.Run([&] {
        it->second->Quit();
        m_connections.erase(it);
    });
    m_fieldsHandle = 0;
    m_unreadHandle = 0;
    return 0;
}

int NMailLibrary::NMailGetMessage(int, std::span<char> buffer, int& size)
{
    const QByteArray text = ToAnsi(m_lastReason);
    const int written = WriteText(buffer, text, std::max(size - 1, 0));
    return written;
}

int NMailLibrary::NMailEndWinSock()
{
    if (m_connections.empty())
        return 0;
    // The program is ending: an exchange still open is abandoned, not finished.
    m_worker.AbandonFlag()->store(true);
    m_worker.Run([&] {
        for (auto& [handle, client] : m_connections)
            client->Quit();
        m_connections.clear();
    });
    m_worker.AbandonFlag()->store(false);
    return 0;
}

} // namespace pelloway
