#pragma once
// One kind of dial-up link of the machine: lists the active ones and hangs them up.

#include <QDeadlineTimer>
#include <QString>
#include <cstddef>
#include <vector>

namespace pelloway {

// An active dial-up link as a source reports it. `key` is the source's own reference, valid
// until the source's next listing or Release().
struct DialUpLink
{
    QString entryName;
    QString deviceType;
    QString deviceName;
    std::size_t key = 0;
};

class DialUpSource
{
public:
    virtual ~DialUpSource() = default;

    // The active links, found before `deadline` where the source has to ask someone.
    // Forgets the links of the previous listing.
    virtual std::vector<DialUpLink> List(QDeadlineTimer deadline) = 0;
    // Starts hanging up a link of the last listing; returns at once. False when the key is
    // unknown or the link could not be told.
    virtual bool HangUp(std::size_t key) = 0;
    // Forgets the last listing (and whatever it holds open).
    virtual void Release() {}
    // Waits, briefly, for hang-ups still on their way.
    virtual void Flush() {}
};

} // namespace pelloway
