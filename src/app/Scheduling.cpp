#include "app/Scheduling.h"

#include "platform/Runtime.h"

namespace pelloway {

bool CheckIsDue(const QString& intervalText, const QString& minuteText)
{
    const double v = TextValue(intervalText);
    // "At or past" rather than "equal": a fractional interval or one lowered below the
    // current count would otherwise never fire again.
    return v > 0 && TextValue(minuteText) >= v;
}

Counters CountSecond(const QString& intervalText, Counters counters)
{
    // Reset at or past the interval itself, the same test the trigger makes, so that every
    // positive interval (1.5, 2.5, or one lowered below the count) fires and counts afresh.
    counters.minuteWritten = false;
    const double v = TextValue(intervalText);
    if (v > 0 && TextValue(counters.minute) >= v) {
        counters.minute = QStringLiteral("0");
        counters.minuteWritten = true;
    }
    const double s = TextValue(counters.second);
    if (s >= 60) {
        counters.second = QStringLiteral("0");
        counters.minute = QString::number(qint64(RoundToInt32(TextValue(counters.minute))) + 1);
        counters.minuteWritten = true;
    } else {
        counters.second = QString::number(qint64(RoundToInt32(s)) + 1);
    }
    return counters;
}

int NextBannerLeft(int left)
{
    return left == -1500 ? BannerStartLeft : left - 20;
}

} // namespace pelloway
