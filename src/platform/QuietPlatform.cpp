#include "platform/QuietPlatform.h"

#include "platform/Platform.h"

namespace pelloway {

PlatformServices CreateQuietPlatform()
{
    PlatformServices services;
    services.pop3 = std::make_unique<UnavailablePop3Library>();
    services.mci = std::make_unique<NoMci>();
    services.ras = std::make_unique<NoRas>();
    services.notifications = std::make_unique<NoNotifications>();
    services.stacking = &SystemWindowStacking();
    services.bannerStrip = [](QWidget*, QLabel* caption) {
        return std::make_unique<PaintedBannerStrip>(caption);
    };
    return services;
}

} // namespace pelloway
