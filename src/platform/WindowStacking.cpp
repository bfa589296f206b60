#include "platform/WindowStacking.h"

#include <QWidget>
#include <QWindow>

namespace pelloway {

namespace {

class NativeWindowStacking final : public WindowStacking
{
public:
    void SetTopmost(QWidget& window, bool topmost) override
    {
        Qt::WindowFlags flags = window.windowFlags();
        flags.setFlag(Qt::WindowStaysOnTopHint, topmost);
        // The widget only records the flag, so a window created later starts with it...
        window.overrideWindowFlags(flags);
        // ...and the native window, when there is one, changes through its handle: on X11 the
        // window manager gets the _NET_WM_STATE_ABOVE request, elsewhere the platform's own
        // stacking call. A window that is not mapped yet takes the state when it is shown.
        if (QWindow* handle = window.windowHandle())
            handle->setFlags(flags);
        window.show();
    }
};

} // namespace

WindowStacking& SystemWindowStacking()
{
    static NativeWindowStacking stacking;
    return stacking;
}

} // namespace pelloway
