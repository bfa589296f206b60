#include "mail/CheckCycle.h"

#include "mail/CheckHost.h"
#include "mail/Pop3Library.h"
#include "settings/SettingsFiles.h"
#include "settings/SharedValues.h"

namespace pelloway {

CheckCycle::CheckCycle(Pop3Library& library, SettingsFiles& files, SharedValues& values, CheckHost& host)
    : m_library(library)
    , m_files(files)
    , m_values(values)
    , m_host(host)
{
}

void CheckCycle::CheckNewMail()
{
    // The check itself arrives with the mail subsystem's check work.
}

} // namespace pelloway
