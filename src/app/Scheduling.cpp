#include "app/Scheduling.h"

#include "platform/Runtime.h"

namespace pelloway {

Counters CountSecond(const QString& intervalText, Counters counters)
{
    counters.checkDue = false;
    const double s = TextValue(counters.second);
    if (s < 60) {
        counters.second = QString::number(qint64(RoundToInt32(s)) + 1);
        return counters;
    }
    counters.second = QStringLiteral("0");
    const qint64 minute = qint64(RoundToInt32(TextValue(counters.minute))) + 1;
    // "At or past" rather than "equal": a fractional interval (1.5 fires at 2) and one
    // lowered below the count (10 to 3 at 4) fire at this counted minute too.
    const double v = TextValue(intervalText);
    counters.checkDue = v > 0 && double(minute) >= v;
    counters.minute = counters.checkDue ? QStringLiteral("0") : QString::number(minute);
    return counters;
}

int NextBannerLeft(int left)
{
    return left == -1500 ? BannerStartLeft : left - 20;
}

} // namespace pelloway
