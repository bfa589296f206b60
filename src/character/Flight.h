#pragma once
// The bird's flight as plain arithmetic: one step every 500 ms. Positions and sizes are in
// twips; the random step sizes are drawn in pixels and scaled by the screen's twips per pixel.

#include <cstdint>

namespace pelloway {

class FlightRandom;

// Where the window is and what it may fly over, all in twips.
struct FlightPlace
{
    float Left = 0; // the window's present position
    float Top = 0;
    float ScreenWidth = 0;
    float ScreenHeight = 0;
    float Width = 480; // the size of one frame
    float Height = 480;
};

// What one step decides.
struct FlightStep
{
    std::int32_t Left = 0; // the new position in twips; Top is set first, then Left
    std::int32_t Top = 0;
    int Frame = 0; // the frame to show, 0 to 7
};

class Flight
{
public:
    // The load step's part: the screen's twips per pixel, and the small first steps.
    void Load(float twipsPerPixelX, float twipsPerPixelY);

    // One animation step. Starts a new leg of three random values when the last one is done.
    FlightStep Timer1_Timer(const FlightPlace& place, FlightRandom& random);

    float TwipsPerPixelX = 15;
    float TwipsPerPixelY = 15;
    std::int16_t StepX = -5;
    std::int16_t StepY = -2;
    // Steps left in the present leg; kept across unloading and loading.
    std::int16_t StepsLeft = 0;
};

} // namespace pelloway
