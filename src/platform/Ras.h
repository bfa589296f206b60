#pragma once
// Remote-access (dial-up) connections of the machine: list the active ones, hang one up.

#include <QString>
#include <cstdint>
#include <span>

namespace pelloway {

// One record of the connection table. Only the size field (of the first record) and the
// handle are used by callers.
struct RasConn
{
    std::uint32_t dwSize = 0;
    std::uintptr_t hrasconn = 0;
    QString entryName;
    QString deviceType;
    QString deviceName;
};

inline constexpr std::uint32_t RasConnSize = 412;

class Ras
{
public:
    virtual ~Ras() = default;

    // Fills the table with the active connections. `bufferSize` is the table's size in bytes
    // (records of table[0].dwSize bytes each); `count` receives the number of records filled.
    // Returns 0 on success; nonzero when the table is too small or the service is missing.
    virtual unsigned RasEnumConnectionsA(std::span<RasConn> table, std::uint32_t& bufferSize,
                                         std::uint32_t& count) = 0;

    // Starts hanging up the connection; returns at once.
    virtual unsigned RasHangUpA(std::uintptr_t hrasconn) = 0;

    // Waits (briefly) for hang-ups still on their way, so the program may exit.
    virtual void Flush() {}
};

// Hangs up every active connection: lists them into a table of 256 records and hangs up
// each listed handle in turn, without waiting. A failed listing hangs up nothing; every
// failure is silent.
void HangUpAll(Ras& ras);

// No remote-access service: the listing fails and nothing is hung up.
class NoRas final : public Ras
{
public:
    unsigned RasEnumConnectionsA(std::span<RasConn>, std::uint32_t&, std::uint32_t& count) override
    {
        count = 0;
        return 711;
    }
    unsigned RasHangUpA(std::uintptr_t) override { return 6; }
};

} // namespace pelloway
