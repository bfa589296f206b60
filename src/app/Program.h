#pragma once

#include "app/StartUp.h"
#include "platform/Platform.h"

#include <memory>

namespace pelloway {

class CharacterWindow;
class MainForm;
class SettingsFiles;

// The composition root: the machine's services, the settings files and the main window.
class Program
{
public:
    explicit Program(const ProgramFolders& folders);
    ~Program();

    // Loads and shows the main window in the centre of the screen, and ties the end of the
    // desktop session to the main window's ending.
    void Start();
    MainForm& mainForm() { return *m_mainForm; }

private:
    std::unique_ptr<SettingsFiles> m_files;
    PlatformServices m_platform;
    std::unique_ptr<CharacterWindow> m_character;
    std::unique_ptr<MainForm> m_mainForm;
};

} // namespace pelloway
