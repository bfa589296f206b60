#pragma once
// A random source that hands out a script of values, for tests that need known legs.

#include "character/FlightRandom.h"

#include <cstddef>
#include <vector>

namespace pelloway::test {

class ScriptedRandom final : public FlightRandom
{
public:
    explicit ScriptedRandom(std::vector<float> values = {}, bool repeat = false)
        : m_values(std::move(values)), m_repeat(repeat)
    {}
    void SeedFromClock() override { ++seeds; }
    // The next scripted value; past the end 0 unless the script repeats.
    float Next() override
    {
        ++drawn;
        if (m_next == m_values.size()) {
            if (!m_repeat || m_values.empty())
                return 0.0f;
            m_next = 0;
        }
        return m_values[m_next++];
    }

    int seeds = 0;
    int drawn = 0;

private:
    std::vector<float> m_values;
    bool m_repeat;
    std::size_t m_next = 0;
};

} // namespace pelloway::test
