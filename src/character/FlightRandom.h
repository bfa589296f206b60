#pragma once
// The random numbers of the bird's flight: single-precision values in [0, 1).

#include <cstdint>
#include <random>

namespace pelloway {

class FlightRandom
{
public:
    virtual ~FlightRandom() = default;
    // Seeds the generator from the clock; done at every load of the window.
    virtual void SeedFromClock() = 0;
    // The next value, uniform in [0, 1).
    virtual float Next() = 0;
};

// The generator the program uses.
class ClockRandom final : public FlightRandom
{
public:
    void SeedFromClock() override;
    float Next() override;

private:
    std::mt19937 m_engine{0x50454c4cu};
};

} // namespace pelloway
