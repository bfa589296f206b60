#pragma once
// The tune's command texts and the reading of its status reply.

#include <QByteArray>
#include <QString>
#include <array>

namespace pelloway {

// "open \"<application folder>/Sound/Kouka.mid\" alias bgm", the folder joined as reported and
// the path in the file system's encoding.
QByteArray OpenTuneCommand(const QString& appFolder);

// The one program-wide reply buffer of "status bgm mode". It is never cleared: a failed
// status request leaves what an earlier one wrote.
struct StatusReply
{
    std::array<char, 256> text{};
};

// True when the first 7 characters of the reply are exactly "stopped".
bool ReportsStopped(const StatusReply& reply);

} // namespace pelloway
