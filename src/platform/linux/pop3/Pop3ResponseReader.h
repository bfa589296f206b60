#pragma once
// Reads POP3 responses from a byte stream without touching a socket, so the same code runs
// on the wire, in tests and under the fuzzer.
//
// A response is either one status line ("+OK ..." / "-ERR ...") or, for multi-line
// commands, a status line followed by data lines up to a line holding a single ".".
// Data is unstuffed (a leading "." is removed) and streamed into a content buffer that
// holds at most `contentLimit` bytes; the rest is counted and dropped. Past `byteLimit`
// data bytes the response fails as too long, so a huge or endless one ends early. The
// content grows with what arrives, never ahead of it. Lines end in CRLF; a bare LF is
// accepted as well. A status line longer than MaxStatusLine is an error.

#include <QByteArray>
#include <QByteArrayView>
#include <utility>

namespace pelloway::pop3 {

class Pop3ResponseReader
{
public:
    static constexpr qsizetype MaxStatusLine = 64 * 1024;

    enum class Kind
    {
        SingleLine,
        MultiLine,
    };
    enum class State
    {
        Idle,     // no response expected
        NeedMore, // the response is not complete yet
        Done,     // a whole response has been read; see ok(), statusLine(), content()
        Failed,   // the bytes are not a POP3 response; see error()
    };

    // Starts reading the next response. A multi-line response is only multi-line when its
    // status is +OK; an -ERR ends at its status line. A negative `byteLimit` sets none.
    void expect(Kind kind, qsizetype contentLimit = 0, qint64 byteLimit = -1);

    // Consumes bytes from the front of `input` until the response is complete (or fails)
    // and returns how many were used; the rest belongs to the next response.
    qsizetype feed(QByteArrayView input);

    State state() const { return m_state; }
    bool ok() const { return m_ok; }
    // The status line without its line end.
    const QByteArray& statusLine() const { return m_status; }
    // The text after "+OK " / "-ERR ".
    QByteArray statusText() const;
    // The unstuffed data, cut at the content limit.
    const QByteArray& content() const { return m_content; }
    QByteArray takeContent() { return std::exchange(m_content, {}); }
    // All unstuffed data bytes, kept or not.
    qint64 contentTotal() const { return m_total; }
    // Why the bytes were refused (English, for the detail in parentheses).
    const QByteArray& error() const { return m_error; }
    // The response failed because its data ran past the byte limit.
    bool overLimit() const { return m_overLimit; }
    qint64 byteLimit() const { return m_byteLimit; }

private:
    enum class Phase
    {
        Status,
        LineStart,
        InLine,
        AfterDot,
        AfterDotCr,
    };

    qsizetype feedStatus(QByteArrayView input);
    qsizetype feedData(QByteArrayView input);
    void keep(QByteArrayView bytes);
    void fail(const char* why);
    void finishStatus();

    State m_state = State::Idle;
    Kind m_kind = Kind::SingleLine;
    Phase m_phase = Phase::Status;
    bool m_ok = false;
    qsizetype m_limit = 0;
    qint64 m_byteLimit = -1;
    bool m_overLimit = false;
    qint64 m_total = 0;
    QByteArray m_status;
    QByteArray m_content;
    QByteArray m_error;
};

} // namespace pelloway::pop3
