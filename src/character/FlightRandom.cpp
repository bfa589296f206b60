#include "character/FlightRandom.h"

#include <chrono>

namespace pelloway {

void ClockRandom::SeedFromClock()
{
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    std::seed_seq seed{std::uint32_t(ticks), std::uint32_t(std::uint64_t(ticks) >> 32)};
    m_engine.seed(seed);
}

float ClockRandom::Next()
{
    // The top 24 bits: every value is an exact float below 1.
    return float(m_engine() >> 8) * (1.0f / 16777216.0f);
}

} // namespace pelloway
