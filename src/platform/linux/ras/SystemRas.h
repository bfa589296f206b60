#pragma once
// The machine's dial-up links as one remote-access service: NetworkManager's dial-up
// connections first, then pppd links started by hand.

#include "platform/Ras.h"
#include "platform/linux/ras/DialUpSource.h"

#include <map>
#include <memory>
#include <vector>

namespace pelloway {

class SystemRas final : public Ras
{
public:
    // Error codes of the listing, as the remote-access interface has them.
    static constexpr unsigned BufferTooSmall = 603;
    static constexpr unsigned InvalidSize = 632;
    static constexpr unsigned InvalidHandle = 6;

    // NetworkManager on the system bus and pppd through /proc (see SystemRas.cpp for the
    // two environment variables the tests point elsewhere).
    SystemRas();
    explicit SystemRas(std::vector<std::unique_ptr<DialUpSource>> sources);
    ~SystemRas() override;

    // Fails with BufferTooSmall, filling nothing and keeping nothing, when more links are
    // active than the table (bufferSize / dwSize records) holds; `bufferSize` then receives
    // the size needed and `count` the number of links.
    unsigned RasEnumConnectionsA(std::span<RasConn> table, std::uint32_t& bufferSize,
                                 std::uint32_t& count) override;
    // Handles are those of the last listing.
    unsigned RasHangUpA(std::uintptr_t hrasconn) override;
    void Flush() override;

private:
    struct Target
    {
        DialUpSource* source;
        std::size_t key;
    };

    std::vector<std::unique_ptr<DialUpSource>> m_sources;
    std::map<std::uintptr_t, Target> m_handles;
    std::uintptr_t m_nextHandle = 1;
};

} // namespace pelloway
