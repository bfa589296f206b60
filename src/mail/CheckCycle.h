#pragma once

#include <QString>

namespace pelloway {

class CheckHost;
class Pop3Library;
class SettingsFiles;
struct SharedValues;

// One whole mail check: connect, log in, count and fetch, close, report, hang up.
class CheckCycle
{
public:
    CheckCycle(Pop3Library& library, SettingsFiles& files, SharedValues& values, CheckHost& host);

    // Runs one check to its end. A call while a check is running does nothing.
    void CheckNewMail();
    bool IsRunning() const { return m_running; }

private:
    Pop3Library& m_library;
    SettingsFiles& m_files;
    SharedValues& m_values;
    CheckHost& m_host;
    bool m_running = false;
};

} // namespace pelloway
