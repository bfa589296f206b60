#pragma once
// The arithmetic of the main window's ticks, on the counters' texts. The counters keep their
// text form: the initial texts "Text1" and "Text4" read as 0, resets write "0".

#include <QString>

namespace pelloway {

struct Counters
{
    QString minute;
    QString second;
    // Set by CountSecond when this tick was a counted minute that reached the interval.
    bool checkDue = false;
};

// Counting tick, the one rule of the schedule. The second counter runs 1..60 and then 0; the
// tick that finds 60 is a counted minute (so one takes 61 ticks) and adds one to the minute
// counter. At a counted minute, a minute count at or past a positive interval makes a check
// due and the count starts again from 0. Between counted minutes nothing is due, whatever
// the interval text says meanwhile: a value typed on the way to another starts nothing.
Counters CountSecond(const QString& intervalText, Counters counters);
// Banner tick: the caption's next left position in twips (-20 a tick, back to 1440 at -1500).
int NextBannerLeft(int left);

inline constexpr int BannerStartLeft = 1440;

} // namespace pelloway
