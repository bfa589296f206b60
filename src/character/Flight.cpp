#include "character/Flight.h"

#include "character/FlightRandom.h"
#include "platform/Runtime.h"

namespace pelloway {

void Flight::Load(float twipsPerPixelX, float twipsPerPixelY)
{
    TwipsPerPixelX = twipsPerPixelX;
    TwipsPerPixelY = twipsPerPixelY;
    StepX = -5;
    StepY = -2;
}

FlightStep Flight::Timer1_Timer(const FlightPlace& place, FlightRandom& random)
{
    // All of this is single precision, as the values are; a float widened to double is
    // exact, so rounding it there rounds the single-precision value.
    if (StepsLeft < 1) {
        const float r1 = random.Next();
        const float r2 = random.Next();
        const float r3 = random.Next();
        StepsLeft = RoundToInt16(double((r1 * 10.0f + 3.0f) * 2.0f));
        StepX = RoundToInt16(double((r2 * 10.0f - 5.0f) * TwipsPerPixelX * 4.0f));
        StepY = RoundToInt16(double((r3 * 10.0f - 5.0f) * TwipsPerPixelY * 2.0f));
    }
    StepsLeft = std::int16_t(StepsLeft - 1);

    std::int32_t x = RoundToInt32(double(place.Left + float(StepX)));
    std::int32_t y = RoundToInt32(double(place.Top + float(StepY)));
    if (x < 0)
        x = 0;
    if (y < 0)
        y = 0;
    if (float(x) + place.Width > place.ScreenWidth)
        x = RoundToInt32(double(place.ScreenWidth - place.Width));
    if (float(y) + place.Height > place.ScreenHeight)
        y = RoundToInt32(double(place.ScreenHeight - place.Height));

    FlightStep step;
    step.Top = y;
    step.Left = x;
    step.Frame = (StepsLeft % 2) + (StepX > 0 ? 2 : 0) + (StepY < 0 ? 4 : 0);
    return step;
}

} // namespace pelloway
