#include "sound/Tune.h"

#include "platform/Ansi.h"
#include "platform/Runtime.h"

#include <cstring>

namespace pelloway {

QByteArray OpenTuneCommand(const QString& appFolder)
{
    return "open \"" + ToAnsi(AppendPath(appFolder, QStringLiteral("/Sound/Kouka.mid"))) + "\" alias bgm";
}

bool ReportsStopped(const StatusReply& reply)
{
    return std::memcmp(reply.text.data(), "stopped", 7) == 0;
}

} // namespace pelloway
