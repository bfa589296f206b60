#pragma once
// The multimedia command-string interface: one call takes a command text such as
// "open \"<path>\" alias bgm", "play bgm", "status bgm mode" and answers with an error code.

#include <QByteArrayView>
#include <span>

namespace pelloway {

class Mci
{
public:
    virtual ~Mci() = default;

    // Sends one command (cp932 text, except the path of an open command, which is in the file
    // system's encoding and passed through unchanged). A command with a reply writes it, NUL-terminated and
    // cut to the buffer, over the start of `reply`; the rest of the buffer keeps what it held. An empty span
    // means no reply buffer. Returns 0 on success, otherwise an error code.
    virtual unsigned mciSendStringA(QByteArrayView command, std::span<char> reply) = 0;
};

// Answers every command with an error and writes nothing: a machine without a tune device.
class NoMci final : public Mci
{
public:
    unsigned mciSendStringA(QByteArrayView, std::span<char>) override { return 263; }
};

} // namespace pelloway
