#pragma once
// The real mail library, with what each connection moved and how long it lived, from
// connect to close.

#include "mail/NMailLibrary.h"

#include <QElapsedTimer>

namespace pelloway::bench {

class MeasuredLibrary final : public NMailLibrary
{
public:
    qint64 bytesIn = 0;
    qint64 bytesOut = 0;
    double exchangeMs = 0;

    int NMailPop3Connect(const QByteArray& server) override
    {
        m_timer.start();
        return NMailLibrary::NMailPop3Connect(server);
    }
    int NMailPop3Close(int handle) override
    {
        if (const pop3::Pop3Client* client = Client(handle)) {
            bytesIn = client->BytesReceived();
            bytesOut = client->BytesSent();
        }
        const int result = NMailLibrary::NMailPop3Close(handle);
        exchangeMs = double(m_timer.nsecsElapsed()) / 1e6;
        return result;
    }

private:
    QElapsedTimer m_timer;
};

} // namespace pelloway::bench
