#include "character/Form1Window.h"

#include <QTimer>

namespace pelloway {

Form1Window::Form1Window(std::function<void()> endProgram, std::unique_ptr<FlightRandom> random,
                         FramePictures pictures)
    : m_state{std::move(pictures), {}, {}, random ? std::move(random) : std::make_unique<ClockRandom>()},
      m_form([this, endProgram = std::move(endProgram)] { return new Form1(m_state, endProgram); })
{}

Form1Window::~Form1Window() = default;

void Form1Window::Show()
{
    m_form.show();
}

void Form1Window::Hide()
{
    m_form.hide();
}

void Form1Window::Unload()
{
    // The timer stops with the window, before any tick still queued can run.
    if (Form1* form = m_form.loadedForm())
        form->Timer1->stop();
    m_form.unload();
}

} // namespace pelloway
