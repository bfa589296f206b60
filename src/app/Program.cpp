#include "app/Program.h"

#include "app/MainForm.h"
#include "character/Form1Window.h"
#include "mail/CheckCycle.h"
#include "settings/SettingsFiles.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSessionManager>

namespace pelloway {

Program::Program(const ProgramFolders& folders)
    : m_files(std::make_unique<SettingsFiles>(folders.data, folders.serverFile)), m_platform(CreatePlatform())
      // A right click on the bird ends the program the way the main window does, so an open
      // settings dialog's values and queued hang-ups are not lost.
      ,
      m_character(std::make_unique<Form1Window>([this] {
          if (m_mainForm)
              m_mainForm->EndProgram();
      }))
{
    m_mainForm = std::make_unique<MainForm>(*m_files, MainFormServices{*m_platform.pop3, *m_platform.mci,
                                                                       *m_platform.ras, *m_character,
                                                                       *m_platform.stacking});
    m_mainForm->SetBannerStrip(m_platform.bannerStrip(m_mainForm->Picture5, m_mainForm->Label1));
    m_mainForm->checkCycle().notifications = m_platform.notifications.get();
}

Program::~Program()
{
    // The windows go before the services they use.
    m_mainForm.reset();
    m_character.reset();
    m_platform.notifications.reset();
}

void Program::Start()
{
    m_mainForm->Form_Load();
    m_mainForm->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = m_mainForm->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        m_mainForm->move(frame.topLeft());
    }
    m_mainForm->show();

    // Logging out: save when the session manager asks, end when the session ends.
    QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, m_mainForm.get(),
                     [this](QSessionManager&) { m_mainForm->SaveForSession(); });
    QObject::connect(qGuiApp, &QCoreApplication::aboutToQuit, m_mainForm.get(),
                     [this] { m_mainForm->EndForSession(); });
}

} // namespace pelloway
