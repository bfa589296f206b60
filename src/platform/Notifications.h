#pragma once

#include <QString>

namespace pelloway {

// Desktop notifications: a short message that the desktop shows beside the program's own
// windows. Never waits and never fails: without a notification service nothing is shown.
class Notifications
{
public:
    virtual ~Notifications() = default;
    // `body` is plain text, lines separated by "\n".
    virtual void Notify(const QString& summary, const QString& body) = 0;
};

} // namespace pelloway
