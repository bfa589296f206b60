#include "sound/Tune.h"

#include "platform/Runtime.h"

#include <QFile>
#include <cstring>

namespace pelloway {

QByteArray OpenTuneCommand(const QString& appFolder)
{
    // The path goes as the file system spells it, whatever its characters: a folder named
    // outside the ANSI code page still finds its tune.
    return "open \"" + QFile::encodeName(AppendPath(appFolder, QStringLiteral("/Sound/Kouka.mid"))) +
           "\" alias bgm";
}

bool ReportsStopped(const StatusReply& reply)
{
    return std::memcmp(reply.text.data(), "stopped", 7) == 0;
}

} // namespace pelloway
