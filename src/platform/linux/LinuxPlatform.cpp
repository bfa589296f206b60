#include "mail/NMailLibrary.h"
#include "platform/Platform.h"
#include "platform/linux/mci/FluidSynthMci.h"
#include "platform/linux/notify/DesktopNotifications.h"
#include "platform/linux/ras/SystemRas.h"
#include "platform/linux/x11/X11BannerStrip.h"

namespace pelloway {

PlatformServices CreatePlatform()
{
    PlatformServices services;
    services.pop3 = std::make_unique<NMailLibrary>();
    services.mci = MakeFluidSynthMci();
    services.ras = std::make_unique<SystemRas>();
    services.notifications = std::make_unique<DesktopNotifications>();
    services.stacking = &SystemWindowStacking();
    services.bannerStrip = MakeBannerStrip;
    return services;
}

} // namespace pelloway
