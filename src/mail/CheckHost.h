#pragma once

#include <QString>

namespace pelloway {

// What one mail check reaches outside the mail subsystem: the main window's picture and
// hang-up command, the account and settings dialogs, and the character window.
class CheckHost
{
public:
    virtual ~CheckHost() = default;

    // Shows a picture of the data folder in the main window ("wife.gif" after new mail).
    virtual void ShowPicture(const QString& fileName) = 0;
    // Puts the saved account into IdPassForm's IdText and PassText (loading it hidden).
    virtual void SetAccountFields(const QString& id, const QString& password) = 0;
    // Shows IdPassForm, modeless.
    virtual void ShowIdPassForm() = 0;
    // SetForm.Check1 (loading the settings dialog hidden): 1 = hang up after every check.
    virtual int HangUpChoice() = 0;
    // SetForm's new-only choice: 1 = count only mail not seen before. A host without the
    // choice counts every message.
    virtual int NewMailOnlyChoice() { return 0; }
    // Hangs up the dial-up connections, as the main window's "切断" command does.
    virtual void HangUp() = 0;
    // Shows the character window, modeless.
    virtual void ShowCharacterWindow() = 0;
    // The check has its result: the message window's text (and count), and the standard-error
    // line of its failure, empty when nothing failed.
    virtual void CheckFinished(const QString& result, const QString& failureLine)
    {
        static_cast<void>(result);
        static_cast<void>(failureLine);
    }
};

} // namespace pelloway
