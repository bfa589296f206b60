#pragma once
// Window stacking: keeping a top-level window above all ordinary windows, or releasing it.

class QWidget;

namespace pelloway {

class WindowStacking
{
public:
    virtual ~WindowStacking() = default;

    // Puts the window above all ordinary windows (topmost) or back among them, and shows it;
    // its size and position stay. Failures are ignored.
    virtual void SetTopmost(QWidget& window, bool topmost) = 0;
};

// The window system's stacking. It changes the existing native window in place: changing a
// widget's window flags instead would destroy and recreate it, so the window would flicker
// and anything holding its native id would lose it.
WindowStacking& SystemWindowStacking();

} // namespace pelloway
