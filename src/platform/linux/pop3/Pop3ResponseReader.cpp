#include "platform/linux/pop3/Pop3ResponseReader.h"

#include <cstring>

namespace pelloway::pop3 {

namespace {
constexpr qsizetype LargeBlock = 1 << 20;
}

void Pop3ResponseReader::expect(Kind kind, qsizetype contentLimit, qint64 byteLimit)
{
    m_state = State::NeedMore;
    m_kind = kind;
    m_phase = Phase::Status;
    m_ok = false;
    m_limit = contentLimit < 0 ? 0 : contentLimit;
    m_byteLimit = byteLimit;
    m_overLimit = false;
    m_total = 0;
    m_status.clear();
    m_content = QByteArray();
    m_error.clear();
}

QByteArray Pop3ResponseReader::statusText() const
{
    const qsizetype space = m_status.indexOf(' ');
    return space < 0 ? QByteArray() : m_status.mid(space + 1);
}

qsizetype Pop3ResponseReader::feed(QByteArrayView input)
{
    qsizetype used = 0;
    while (m_state == State::NeedMore && used < input.size()) {
        const QByteArrayView rest = input.sliced(used);
        used += m_phase == Phase::Status ? feedStatus(rest) : feedData(rest);
    }
    return used;
}

void Pop3ResponseReader::fail(const char* why)
{
    m_state = State::Failed;
    m_error = why;
}

qsizetype Pop3ResponseReader::feedStatus(QByteArrayView input)
{
    const char* lf = static_cast<const char*>(std::memchr(input.data(), '\n', size_t(input.size())));
    const qsizetype take = lf ? (lf - input.data()) + 1 : input.size();
    const qsizetype lineBytes = lf ? take - 1 : take;
    if (m_status.size() + lineBytes > MaxStatusLine) {
        // What is kept of the line is the same however the bytes came in pieces.
        m_status.append(input.data(), MaxStatusLine - m_status.size());
        fail("response line too long");
        return take;
    }
    m_status.append(input.data(), lineBytes);
    if (lf)
        finishStatus();
    return take;
}

void Pop3ResponseReader::finishStatus()
{
    if (m_status.endsWith('\r'))
        m_status.chop(1);
    if (m_status == "+OK" || m_status.startsWith("+OK ")) {
        m_ok = true;
    } else if (m_status == "-ERR" || m_status.startsWith("-ERR ")) {
        m_ok = false;
    } else {
        fail("not a POP3 status line");
        return;
    }
    if (m_kind == Kind::MultiLine && m_ok)
        m_phase = Phase::LineStart;
    else
        m_state = State::Done;
}

void Pop3ResponseReader::keep(QByteArrayView bytes)
{
    m_total += bytes.size();
    if (m_byteLimit >= 0 && m_total > m_byteLimit) {
        m_overLimit = true;
        fail("response too long");
        return;
    }
    const qsizetype n = qMin(m_limit - m_content.size(), bytes.size());
    if (n <= 0)
        return;
    const qsizetype needed = m_content.size() + n;
    if (needed > m_content.capacity()) {
        // Room doubles with what has arrived. Past a megabyte the content moves once into
        // a block of its own, which then grows in place: no copies of it are left behind
        // in the allocator's heap as it grows.
        const qsizetype room = qMax(needed, qMax<qsizetype>(2 * m_content.capacity(), 4096));
        if (room >= LargeBlock && m_content.capacity() < LargeBlock) {
            QByteArray large;
            large.reserve(room);
            large.append(m_content);
            m_content = std::move(large);
        } else {
            m_content.reserve(room);
        }
    }
    m_content.append(bytes.data(), n);
}

qsizetype Pop3ResponseReader::feedData(QByteArrayView input)
{
    qsizetype i = 0;
    const qsizetype n = input.size();
    while (i < n && m_state == State::NeedMore) {
        const char c = input[i];
        switch (m_phase) {
        case Phase::LineStart:
            if (c == '.') {
                m_phase = Phase::AfterDot;
                ++i;
                break;
            }
            m_phase = Phase::InLine;
            [[fallthrough]];
        case Phase::InLine: {
            // Pass whole lines through in one run until a line starts with a dot (stuffing
            // or the end) or the input ends.
            const char* from = input.data() + i;
            const char* end = input.data() + n;
            const char* p = from;
            bool atLineStart = false;
            while (const void* lf = std::memchr(p, '\n', size_t(end - p))) {
                p = static_cast<const char*>(lf) + 1;
                if (p == end || *p == '.') {
                    atLineStart = true;
                    break;
                }
            }
            if (!atLineStart)
                p = end;
            keep(QByteArrayView(from, p - from));
            i += p - from;
            if (atLineStart)
                m_phase = Phase::LineStart;
            break;
        }
        case Phase::AfterDot:
            if (c == '\r') {
                m_phase = Phase::AfterDotCr;
                ++i;
            } else if (c == '\n') {
                m_state = State::Done;
                ++i;
            } else {
                // A stuffed line: the dot was the added one.
                m_phase = Phase::InLine;
            }
            break;
        case Phase::AfterDotCr:
            if (c == '\n') {
                m_state = State::Done;
                ++i;
            } else {
                // ".\r" not followed by LF: the line began with a lone CR after the dot.
                keep("\r");
                m_phase = Phase::InLine;
            }
            break;
        case Phase::Status:
            break;
        }
    }
    return i;
}

} // namespace pelloway::pop3
