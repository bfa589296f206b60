#pragma once

namespace pelloway {

// The character window as its callers use it: shown modeless, hidden, unloaded. Loading
// again after an unload happens at the next Show.
class CharacterWindow
{
public:
    virtual ~CharacterWindow() = default;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual void Unload() = 0;
};

// A character window that is never seen.
class HiddenCharacterWindow final : public CharacterWindow
{
public:
    void Show() override {}
    void Hide() override {}
    void Unload() override {}
};

} // namespace pelloway
