#pragma once
// The one place that picks the platform: the services the program works through, made for the
// machine it runs on or as quiet stand-ins. Each interface sits in this folder; the Linux
// implementations live under linux/, the stand-ins in QuietPlatform.h.

#include "platform/BannerStrip.h"
#include "platform/Mci.h"
#include "platform/Notifications.h"
#include "platform/Pop3Library.h"
#include "platform/Ras.h"
#include "platform/WindowStacking.h"

#include <functional>
#include <memory>

class QLabel;
class QWidget;

namespace pelloway {

struct PlatformServices
{
    std::unique_ptr<Pop3Library> pop3;
    std::unique_ptr<Mci> mci;
    std::unique_ptr<Ras> ras;
    std::unique_ptr<Notifications> notifications;
    WindowStacking* stacking = nullptr;
    // The banner strip of the main window: `strip` holds the picture, `caption` moves on it.
    std::function<std::unique_ptr<BannerStrip>(QWidget* strip, QLabel* caption)> bannerStrip;
};

// This machine's services: our POP3 client, tunes through FluidSynth, dial-up links of
// NetworkManager and pppd, desktop notifications on the session bus, the window system's
// stacking and the X server's banner strip where it can draw one.
PlatformServices CreatePlatform();

// Services that reach nothing outside the process: no mail server, no tune device, no dial-up
// links, no notifications; the banner strip painted by Qt.
PlatformServices CreateQuietPlatform();

} // namespace pelloway
