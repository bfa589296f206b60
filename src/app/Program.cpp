#include "app/Program.h"

#include "app/MainForm.h"
#include "character/Form1Window.h"
#include "mail/CheckCycle.h"
#include "mail/NMailLibrary.h"
#include "platform/Mci.h"
#include "platform/mci/FluidSynthMci.h"
#include "platform/notify/DesktopNotifications.h"
#include "platform/ras/SystemRas.h"
#include "platform/x11/X11BannerStrip.h"
#include "settings/SettingsFiles.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSessionManager>

namespace pelloway {

Program::Program(const ProgramFolders& folders)
    : m_files(std::make_unique<SettingsFiles>(folders.data, folders.serverFile)),
      m_pop3(std::make_unique<NMailLibrary>()), m_mci(MakeFluidSynthMci()),
      m_ras(std::make_unique<SystemRas>())
      // A right click on the bird ends the program the way the main window does, so an open
      // settings dialog's values and queued hang-ups are not lost.
      ,
      m_character(std::make_unique<Form1Window>([this] {
          if (m_mainForm)
              m_mainForm->EndProgram();
      }))
{
    m_mainForm =
        std::make_unique<MainForm>(*m_files, MainFormServices{*m_pop3, *m_mci, *m_ras, *m_character});
    m_mainForm->SetBannerStrip(MakeBannerStrip(m_mainForm->Picture5, m_mainForm->Label1));
    m_notifications = std::make_unique<DesktopNotifications>();
    m_mainForm->checkCycle().notifications = m_notifications.get();
}

Program::~Program()
{
    // The windows go before the services they use.
    m_mainForm.reset();
    m_character.reset();
    m_notifications.reset();
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
