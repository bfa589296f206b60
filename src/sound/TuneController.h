#pragma once
// The tune and its poll: the command texts sent to the tune device for each step, and the
// poll that notices the tune's end and starts it again or closes it.

#include "sound/Tune.h"

#include <QByteArrayView>
#include <QString>

class QTimer;

namespace pelloway {

class Mci;

class TuneController
{
public:
    // `poll` is the 100 ms timer whose ticks call Poll; the controller only starts and stops it.
    TuneController(Mci& mci, QTimer& poll) : m_mci(mci), m_poll(poll) {}

    // "再生": opens the tune of the application folder as "bgm", plays it and starts the poll.
    void Play(const QString& appFolder);
    // "停止": closes the tune and stops the poll.
    void Stop();
    // "stop bgm", then "close bgm"; the poll runs on or stays stopped.
    void CloseTune();
    // One poll: asks the mode into the kept reply; a tune that reports "stopped" starts again
    // from the beginning when `loop`, otherwise it closes and the poll stops.
    void Poll(bool loop);

    const StatusReply& statusReply() const { return m_statusReply; }

private:
    unsigned send(QByteArrayView command);

    Mci& m_mci;
    QTimer& m_poll;
    StatusReply m_statusReply;
};

} // namespace pelloway
