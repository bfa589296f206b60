#pragma once
// The mail library the check cycle calls: the ten operations over our own POP3 client.
// The connections live on a worker thread (Pop3Worker); each call that talks to a server
// waits for it there while the caller's window events keep being delivered. When the
// program begins ending during such a call, the exchange is abandoned and the call fails
// at once; NMailEndWinSock abandons any exchange still open and closes its connection.
//
// Connect gives a handle (1, 2, ...) or -1; Authenticate the message count, 0 for an empty
// mailbox or -1; every failure leaves a Japanese reason that NMailGetMessage writes as
// cp932. For message k, GetMailStatus retrieves the message and fills the four text
// buffers with its Subject, From, Date and Message-ID (decoded, cp932, NUL-terminated, cut
// to 8192 bytes); GetMailSize gives the size of the message as it arrived (retrieving it
// when it is not held yet); GetMail writes the message itself into the body buffer, cut to
// the buffer's size with the NUL. One message is held at a time. GetUidl answers from the
// server's UIDL listing, GetMailHeader writes the same four texts from "TOP k 0".

#include "mail/Pop3Worker.h"
#include "platform/Pop3Library.h"
#include "platform/linux/pop3/Pop3Client.h"

#include <QString>
#include <array>
#include <map>
#include <memory>

namespace pelloway {

class NMailLibrary : public Pop3Library
{
public:
    // Time-outs, extra trusted CA certificates and the RETR window for every connection.
    explicit NMailLibrary(pop3::Pop3Options options = {});
    ~NMailLibrary() override;

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
    int NMailPop3GetUidl(int handle, int mailNo, std::span<char> uidl) override;
    int NMailPop3QueueHeaders(int handle, std::span<const int> mailNos) override;
    int NMailPop3GetMailHeader(int handle, int mailNo, std::span<char> subject, std::span<char> from,
                               std::span<char> date, std::span<char> header) override;
    ConnectFailure LastConnectFailure() const override { return m_connectFailure; }
    pop3::CertificateProblem LastCertificateProblem() const override { return m_certificateProblem; }
    void SetTrustedCertificates(const QHash<QString, QByteArray>& trusted) override
    {
        m_options.trustedCertificates = trusted;
    }

    // The options new connections get; tests change time-outs and CAs here.
    pop3::Pop3Options& Options() { return m_options; }
    // The connection behind a handle, or null.
    pop3::Pop3Client* Client(int handle);

    // Writes `text` into `buffer` NUL-terminated, cut to `limit` bytes and to the buffer,
    // never splitting a two-byte cp932 character. Returns the bytes written before the NUL.
    static int WriteText(std::span<char> buffer, QByteArrayView text, int limit = TextBufferSize);

private:
    const pop3::Pop3Message* Message(int handle, int mailNo);
    int Failed(const QString& reason);
    void WriteFields(int handle, const pop3::Pop3Message& message, std::span<char> subject,
                     std::span<char> from, std::span<char> date, std::span<char> header);

    // Declared first: it outlives the connections it runs.
    Pop3Worker m_worker;
    pop3::Pop3Options m_options;
    // Made, used and destroyed on the worker; read here only between its jobs.
    std::map<int, std::unique_ptr<pop3::Pop3Client>> m_connections;
    int m_nextHandle = 1;
    QString m_lastReason;
    // The four cp932 texts of the message last written, by handle and number.
    std::array<QByteArray, 4> m_fields;
    int m_fieldsHandle = 0;
    int m_fieldsNumber = 0;
    // The message last asked for that could not be read.
    int m_unreadHandle = 0;
    int m_unreadNumber = 0;
    ConnectFailure m_connectFailure = ConnectFailure::None;
    pop3::CertificateProblem m_certificateProblem;
};

} // namespace pelloway
