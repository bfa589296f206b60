#pragma once
// The arithmetic of the main window's ticks, on the counters' texts. The counters keep their
// text form: the initial texts "Text1" and "Text4" read as 0, resets write "0".

#include <QString>

namespace pelloway {

// Trigger tick: true when a check is due: interval v > 0 and the minute counter at or past v.
bool CheckIsDue(const QString& intervalText, const QString& minuteText);

struct Counters
{
    QString minute;
    QString second;
    // Set by CountSecond when it wrote the minute counter (a reset, a new minute or both).
    bool minuteWritten = false;
};

// Counting tick: resets the minute counter when it is at or past a positive interval, then
// counts one second. The second counter runs 1..60 and then 0; the tick that finds 60 adds a
// minute, so a counted minute takes 61 ticks.
Counters CountSecond(const QString& intervalText, Counters counters);

// Banner tick: the caption's next left position in twips (-20 a tick, back to 1440 at -1500).
int NextBannerLeft(int left);

inline constexpr int BannerStartLeft = 1440;

} // namespace pelloway
