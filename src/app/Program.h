#pragma once

#include "app/StartUp.h"

#include <memory>

namespace pelloway {

class CharacterWindow;
class MainForm;
class Mci;
class Notifications;
class Pop3Library;
class Ras;
class SettingsFiles;

// The composition root: the real services, the settings files and the main window.
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
    std::unique_ptr<Pop3Library> m_pop3;
    std::unique_ptr<Mci> m_mci;
    std::unique_ptr<Ras> m_ras;
    std::unique_ptr<CharacterWindow> m_character;
    std::unique_ptr<Notifications> m_notifications;
    std::unique_ptr<MainForm> m_mainForm;
};

} // namespace pelloway
