#pragma once
// The boundary to the POP3 library: ten operations, their argument order and results as the
// check cycle relies on them. Texts cross as cp932 bytes; buffers are NUL-terminated byte
// buffers whose size is their capacity including the NUL.

#include "platform/TlsTrust.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <span>

namespace pelloway {

class Pop3Library
{
public:
    // Each of the four text buffers holds 8192 bytes and a NUL.
    static constexpr int TextBufferSize = 8192;

    // How the last failed connect failed.
    enum class ConnectFailure
    {
        None,
        Network,     // refused, unreachable, timed out, name not found
        Certificate, // TLS handshake or certificate check failed: the user must act
        Unencrypted, // the server offers no TLS and the name does not allow a plain login
    };

    virtual ~Pop3Library() = default;

    virtual int NMailInitializeWinSock() = 0;
    virtual int NMailSetOption(int option, int value) = 0;
    // A handle, or -1 on failure.
    virtual int NMailPop3Connect(const QByteArray& server) = 0;
    // > 0 the number of messages, 0 an empty mailbox, < 0 a failure.
    virtual int NMailPop3Authenticate(int handle, const QByteArray& id, const QByteArray& password,
                                      bool apop) = 0;
    virtual int NMailPop3GetMailStatus(int handle, int mailNo, std::span<char> subject, std::span<char> from,
                                       std::span<char> date, std::span<char> header, int flag) = 0;
    virtual int NMailPop3GetMailSize(int handle, int mailNo) = 0;
    virtual int NMailPop3GetMail(int handle, int mailNo, std::span<char> subject, std::span<char> from,
                                 std::span<char> date, std::span<char> header, std::span<char> body, int path,
                                 int flag) = 0;
    virtual int NMailPop3Close(int handle) = 0;
    // Writes a NUL-terminated description of the last failure (cut to `size` bytes with the NUL).
    virtual int NMailGetMessage(int code, std::span<char> buffer, int& size) = 0;
    virtual int NMailEndWinSock() = 0;

    // Beyond the ten: what a check that counts only mail not seen before asks for, in the
    // same manner (a handle, caller's buffers, a count or a negative error). A library that
    // does not offer them answers -1, as a server without unique ids would.
    // Writes the unique id of message `mailNo` into `uidl`, NUL-terminated, from the server's
    // unique-id listing (asked for once per connection). Returns the id's length, or -1 when
    // the server keeps no unique ids, has none for that message, or the connection failed.
    virtual int NMailPop3GetUidl(int /*handle*/, int /*mailNo*/, std::span<char> /*uidl*/) { return -1; }
    // Announces the messages whose headers are asked for next, in that order, so that their
    // requests travel together. Returns how many were announced, or -1.
    virtual int NMailPop3QueueHeaders(int /*handle*/, std::span<const int> /*mailNos*/) { return -1; }
    // Fills the four text buffers as NMailPop3GetMailStatus does, from the message's header
    // alone; the message itself is not retrieved. 0, or -1.
    virtual int NMailPop3GetMailHeader(int /*handle*/, int /*mailNo*/, std::span<char> /*subject*/,
                                       std::span<char> /*from*/, std::span<char> /*date*/,
                                       std::span<char> /*header*/)
    {
        return -1;
    }

    // Not one of the ten: how the last failed NMailPop3Connect failed.
    virtual ConnectFailure LastConnectFailure() const = 0;
    // Not one of the ten: after a Certificate failure, the certificate the user might
    // choose to trust (null when there is none to show).
    virtual pop3::CertificateProblem LastCertificateProblem() const { return pop3::CertificateProblem(); }
    // Not one of the ten: the certificates the user trusts for the connects that follow,
    // SHA-256 digests by server ("host:port").
    virtual void SetTrustedCertificates(const QHash<QString, QByteArray>&) {}
};

} // namespace pelloway
