#include "platform/linux/mci/MidiFile.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace pelloway {

namespace {

class Reader
{
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) {}

    bool atEnd() const { return m_at >= m_bytes.size(); }
    qsizetype left() const { return m_bytes.size() - m_at; }

    std::optional<std::uint8_t> byte()
    {
        if (atEnd())
            return std::nullopt;
        return std::uint8_t(m_bytes[m_at++]);
    }
    std::optional<std::uint32_t> bigEndian(int size)
    {
        if (left() < size)
            return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 0; i < size; ++i)
            value = value << 8 | std::uint8_t(m_bytes[m_at++]);
        return value;
    }
    // A variable-length quantity: at most four bytes of seven bits.
    std::optional<std::uint32_t> variable()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const auto b = byte();
            if (!b)
                return std::nullopt;
            value = value << 7 | (*b & 0x7F);
            if (!(*b & 0x80))
                return value;
        }
        return std::nullopt;
    }
    bool skip(std::uint32_t count)
    {
        if (std::uint64_t(left()) < count)
            return false;
        m_at += qsizetype(count);
        return true;
    }
    QByteArrayView take(std::uint32_t count)
    {
        const QByteArrayView part = m_bytes.sliced(m_at, qsizetype(count));
        m_at += qsizetype(count);
        return part;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
};

// The ticks of one track's events up to its end, or nothing when an event is malformed.
std::optional<std::uint64_t> trackTicks(QByteArrayView track)
{
    Reader r(track);
    std::uint64_t ticks = 0;
    std::uint8_t running = 0;
    while (!r.atEnd()) {
        const auto delta = r.variable();
        const auto first = r.byte();
        if (!delta || !first)
            return std::nullopt;
        ticks += *delta;
        std::uint8_t status = *first;
        if (status < 0x80) { // running status: the byte is the first data byte
            if (!running)
                return std::nullopt;
            status = running;
            if (!r.skip(status >= 0xC0 && status < 0xE0 ? 0 : 1))
                return std::nullopt;
            continue;
        }
        if (status == 0xFF) { // meta event
            const auto type = r.byte();
            const auto length = type ? r.variable() : std::nullopt;
            if (!length || !r.skip(*length))
                return std::nullopt;
            if (*type == 0x2F)
                return ticks; // end of track
            continue;
        }
        if (status == 0xF0 || status == 0xF7) { // system exclusive
            const auto length = r.variable();
            if (!length || !r.skip(*length))
                return std::nullopt;
            running = 0;
            continue;
        }
        if (status > 0xF0)
            return std::nullopt; // no other system message belongs in a file
        running = status;
        if (!r.skip(status >= 0xC0 && status < 0xE0 ? 1 : 2))
            return std::nullopt;
    }
    return ticks;
}

} // namespace

int MidiTotalTicks(QByteArrayView bytes)
{
    Reader r(bytes);
    if (r.left() < 4 || bytes.first(4) != "MThd")
        return 0;
    r.skip(4);
    const auto headerLength = r.bigEndian(4);
    if (!headerLength || *headerLength < 6)
        return 0;
    const auto format = r.bigEndian(2);
    const auto tracks = r.bigEndian(2);
    const auto division = r.bigEndian(2);
    if (!format || !tracks || !division || *format > 2 || *tracks == 0 || *division == 0 ||
        !r.skip(*headerLength - 6))
        return 0;
    std::uint64_t total = 0;
    for (std::uint32_t found = 0; found < *tracks;) {
        const auto id = r.bigEndian(4);
        const auto length = r.bigEndian(4);
        if (!id || !length || std::uint64_t(r.left()) < *length)
            return 0;
        const QByteArrayView chunk = r.take(*length);
        if (*id != 0x4D54726B) // "MTrk"; other chunks are skipped
            continue;
        const auto ticks = trackTicks(chunk);
        if (!ticks)
            return 0;
        total = std::max(total, *ticks);
        ++found;
    }
    return int(std::min<std::uint64_t>(total, 0x7FFFFFFF));
}

} // namespace pelloway
