#include "platform/linux/ras/SystemRas.h"

#include "platform/linux/ras/NetworkManagerDialUp.h"
#include "platform/linux/ras/PppdDialUp.h"

#include <QtGlobal>

namespace pelloway {

namespace {

// Where the pppd links are looked for: /proc, unless PELLOWAY_PROC_ROOT names a folder laid
// out like it. That hook exists for the desktop tests, which run the real program and must
// never hang up the links of the machine they run on; nothing else sets it. The system bus
// is pointed elsewhere the same way by DBUS_SYSTEM_BUS_ADDRESS, which Qt D-Bus honours.
QString procRoot()
{
    const QString root = qEnvironmentVariable("PELLOWAY_PROC_ROOT");
    return root.isEmpty() ? QStringLiteral("/proc") : root;
}

std::vector<std::unique_ptr<DialUpSource>> systemSources()
{
    std::vector<std::unique_ptr<DialUpSource>> sources;
    sources.push_back(std::make_unique<NetworkManagerDialUp>());
    sources.push_back(std::make_unique<PppdDialUp>(procRoot()));
    return sources;
}

} // namespace

SystemRas::SystemRas() : SystemRas(systemSources()) {}

SystemRas::SystemRas(std::vector<std::unique_ptr<DialUpSource>> sources) : m_sources(std::move(sources)) {}

SystemRas::~SystemRas() = default;

unsigned SystemRas::RasEnumConnectionsA(std::span<RasConn> table, std::uint32_t& bufferSize,
                                        std::uint32_t& count)
{
    m_handles.clear();
    if (table.empty() || table[0].dwSize != RasConnSize)
        return InvalidSize;
    const std::size_t capacity = std::min<std::size_t>(table.size(), bufferSize / RasConnSize);

    // One deadline for the whole listing, whichever source has to wait for an answer.
    const QDeadlineTimer deadline(NetworkManagerDialUp::ListingDeadlineMs);
    std::vector<std::pair<DialUpSource*, DialUpLink>> links;
    for (const auto& source : m_sources) {
        for (DialUpLink& link : source->List(deadline))
            links.emplace_back(source.get(), std::move(link));
    }

    count = std::uint32_t(links.size());
    if (links.size() > capacity) {
        bufferSize = std::uint32_t(links.size() * RasConnSize);
        for (const auto& source : m_sources)
            source->Release();
        return BufferTooSmall;
    }
    for (std::size_t i = 0; i < links.size(); ++i) {
        const auto& [source, link] = links[i];
        const std::uintptr_t handle = m_nextHandle++;
        m_handles[handle] = {source, link.key};
        RasConn& record = table[i];
        record.dwSize = RasConnSize;
        record.hrasconn = handle;
        record.entryName = link.entryName;
        record.deviceType = link.deviceType;
        record.deviceName = link.deviceName;
    }
    return 0;
}

unsigned SystemRas::RasHangUpA(std::uintptr_t hrasconn)
{
    const auto found = m_handles.find(hrasconn);
    if (found == m_handles.end())
        return InvalidHandle;
    const Target target = found->second;
    m_handles.erase(found);
    target.source->HangUp(target.key);
    return 0;
}

void SystemRas::Flush()
{
    for (const auto& source : m_sources)
        source->Flush();
}

} // namespace pelloway
