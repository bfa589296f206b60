#pragma once

#include "character/CharacterWindow.h"
#include "character/Form1.h"

#include <functional>
#include <memory>

namespace pelloway {

// The character window as the main window uses it. The form object's state lives here for
// the whole run; the window itself is made at the first show, destroyed by Unload and made
// again, load step and all, by the next show.
class Form1Window final : public CharacterWindow
{
public:
    // endProgram ends the program (the right button). The random source and the pictures
    // are the program's own unless given.
    explicit Form1Window(std::function<void()> endProgram, std::unique_ptr<FlightRandom> random = nullptr,
                         FramePictures pictures = FramePictures::Shipped());
    ~Form1Window() override;

    void Show() override;
    void Hide() override;
    void Unload() override;

    FormHolder<Form1>& form() { return m_form; }
    Form1State& state() { return m_state; }

private:
    Form1State m_state;
    FormHolder<Form1> m_form;
};

} // namespace pelloway
