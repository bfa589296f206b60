#include "platform/Ras.h"

#include <vector>

namespace pelloway {

void HangUpAll(Ras& ras)
{
    std::vector<RasConn> table(256);
    table[0].dwSize = RasConnSize;
    std::uint32_t bufferSize = table[0].dwSize * 256;
    std::uint32_t count = 0;
    if (ras.RasEnumConnectionsA(table, bufferSize, count) != 0)
        return;
    for (std::uint32_t i = 0; i < count && i < table.size(); ++i)
        ras.RasHangUpA(table[i].hrasconn);
}

} // namespace pelloway
