#include "character/Form1.h"

#include "platform/Runtime.h"
#include "platform/Twips.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace pelloway {

namespace {

QRect screenRect()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return screen->geometry();
    return QRect(0, 0, 640, 480);
}

} // namespace

Form1::Form1(Form1State& state, std::function<void()> endProgram)
    : Form(nullptr,
           Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool | Qt::WindowDoesNotAcceptFocus),
      m_state(state), m_endProgram(std::move(endProgram))
{
    setWindowTitle(QStringLiteral("Form1"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);

    Timer1 = new QTimer(this);
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
}

void Form1::Form_Load()
{
    // 1. The shapes of the eight frames; the only time their pixels are read.
    m_state.Regions.BuildFrameRegions(m_state.Pictures);
    for (int i = 0; i < FrameCount; ++i)
        m_picture1[std::size_t(i)] = QPixmap::fromImage(m_state.Pictures.Picture(i));
    // 2. The window is exactly one frame.
    setFixedSize(FrameSize, FrameSize);
    // 3. Topmost: the window flags ask for it; every step raises the window again.
    // 4. The screen's twips per pixel.
    const float twipsPerPixel = float(TwipsPerPixel());
    // 5, 6. A fresh seed, and small steps until the next leg.
    if (m_state.Random)
        m_state.Random->SeedFromClock();
    m_state.Flight1.Load(twipsPerPixel, twipsPerPixel);
    // Frame 0 in its shape from the start, so no square ever shows.
    ShowFrame(0);
    Timer1->start();
}

void Form1::ShowFrame(int frame)
{
    m_frame = frame;
    setMask(RegionFromSlot(m_state.Regions.Slot(frame)));
    update();
}

void Form1::Timer1_Timer()
{
    // No flight while the left button moves the window. The window system's move ends with
    // a release that reaches the window; the button state covers a release that went astray.
    if (m_drag == Drag::Follow)
        return;
    if (m_drag == Drag::System) {
        if (QGuiApplication::mouseButtons() & Qt::LeftButton)
            return;
        m_drag = Drag::None;
    }
    if (!m_state.Random)
        return;

    Flight& flight = m_state.Flight1;
    const QRect screen = screenRect();
    FlightPlace place;
    place.Left = float(pos().x() - screen.x()) * flight.TwipsPerPixelX;
    place.Top = float(pos().y() - screen.y()) * flight.TwipsPerPixelY;
    place.ScreenWidth = float(screen.width()) * flight.TwipsPerPixelX;
    place.ScreenHeight = float(screen.height()) * flight.TwipsPerPixelY;
    place.Width = float(FrameSize) * flight.TwipsPerPixelX;
    place.Height = float(FrameSize) * flight.TwipsPerPixelY;

    const FlightStep step = flight.Timer1_Timer(place, *m_state.Random);
    move(screen.x() + RoundToInt32(double(step.Left) / double(flight.TwipsPerPixelX)),
         screen.y() + RoundToInt32(double(step.Top) / double(flight.TwipsPerPixelY)));
    ShowFrame(step.Frame);
    // Stay above the others even where nothing keeps a window on top.
    if (isVisible())
        raise();
}

void Form1::Form_MouseDown(int button, QPoint globalPos)
{
    if (button & 1) {
        QWindow* window = windowHandle();
        if (window && window->startSystemMove()) {
            m_drag = Drag::System;
        } else {
            m_drag = Drag::Follow;
            m_grabOffset = globalPos - pos();
        }
    } else if (button == 2) {
        if (m_endProgram)
            m_endProgram();
    }
}

void Form1::mousePressEvent(QMouseEvent* event)
{
    int button = 0;
    switch (event->button()) {
    case Qt::LeftButton:
        button = 1;
        break;
    case Qt::RightButton:
        button = 2;
        break;
    case Qt::MiddleButton:
        button = 4;
        break;
    default:
        break;
    }
    event->accept();
    Form_MouseDown(button, event->globalPosition().toPoint());
}

void Form1::mouseMoveEvent(QMouseEvent* event)
{
    if (m_drag == Drag::Follow && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_grabOffset);
    event->accept();
}

void Form1::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_drag = Drag::None;
    event->accept();
}

void Form1::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture1[std::size_t(m_frame)]);
}

} // namespace pelloway
