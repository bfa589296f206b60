#pragma once
// The character window: a borderless 32 x 32 window cut to the outline of the bird, above
// all other windows, flying a random path, one step every 500 ms, shown or hidden.

#include "character/Flight.h"
#include "character/FlightRandom.h"
#include "character/FramePictures.h"
#include "character/FrameRegions.h"
#include "platform/Form.h"

#include <QPixmap>
#include <QPoint>
#include <array>
#include <functional>
#include <memory>

class QTimer;

namespace pelloway {

// What the window's form object keeps for the whole run, across hiding and unloading: the
// frames, their shapes, the flight and its random numbers.
struct Form1State
{
    FramePictures Pictures;
    FrameRegions Regions; // the shapes, filled at every load
    Flight Flight1;
    std::unique_ptr<FlightRandom> Random;
};

class Form1 : public Form
{
    Q_OBJECT
public:
    // endProgram ends the whole program; the right button calls it.
    Form1(Form1State& state, std::function<void()> endProgram);

    // Shapes, size, stacking, twips per pixel, the random seed and the first small steps.
    void Form_Load() override;
    // One animation step.
    void Timer1_Timer();
    // A mouse button went down: 1 left (drag), 2 right (end the program), 4 middle (nothing).
    void Form_MouseDown(int button, QPoint globalPos);

    // The frame now shown.
    int Frame() const { return m_frame; }
    // The left button is moving the window; the flight waits meanwhile.
    bool IsDragged() const { return m_drag != Drag::None; }

    QTimer* Timer1 = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    enum class Drag
    {
        None,
        System, // the window system moves the window with the mouse
        Follow, // the window follows the mouse here, until the button is released
    };

    void ShowFrame(int frame);

    Form1State& m_state;
    std::function<void()> m_endProgram;
    std::array<QPixmap, FrameCount> m_picture1; // Picture1(0) to Picture1(7)
    int m_frame = 0;
    Drag m_drag = Drag::None;
    QPoint m_grabOffset; // from the window's corner to the mouse, while following
};

} // namespace pelloway
