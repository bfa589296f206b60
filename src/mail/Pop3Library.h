#pragma once
// The boundary to the POP3 library: ten operations, their argument order and results as the
// check cycle relies on them. Texts cross as cp932 bytes; buffers are NUL-terminated byte
// buffers whose size is their capacity including the NUL.

#include <QByteArray>
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

    // Not one of the ten: how the last failed NMailPop3Connect failed.
    virtual ConnectFailure LastConnectFailure() const = 0;
};

} // namespace pelloway
