#include "sound/TuneController.h"

#include "platform/Mci.h"

#include <QTimer>

namespace pelloway {

// Every result is ignored: a tune that cannot open or play leaves the program silent.
unsigned TuneController::send(QByteArrayView command)
{
    return m_mci.mciSendStringA(command, {});
}

void TuneController::CloseTune()
{
    send("stop bgm");
    send("close bgm");
}

void TuneController::Play(const QString& appFolder)
{
    send(OpenTuneCommand(appFolder));
    send("play bgm");
    m_poll.start();
}

void TuneController::Stop()
{
    CloseTune();
    m_poll.stop();
}

void TuneController::Poll(bool loop)
{
    // The reply is never cleared: a failed request leaves what an earlier one wrote.
    m_mci.mciSendStringA("status bgm mode", std::span<char>(m_statusReply.text.data(), 255));
    if (!ReportsStopped(m_statusReply))
        return;
    if (loop)
        send("play bgm from 0");
    else
        Stop();
}

} // namespace pelloway
