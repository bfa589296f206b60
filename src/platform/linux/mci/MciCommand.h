#pragma once
// The command strings the tune device understands, and the error codes it answers with.

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

namespace pelloway {

// Error codes returned by the command-string layer; 0 means success.
namespace MciError {
inline constexpr unsigned InvalidDeviceId = 257;     // no device open under that alias
inline constexpr unsigned UnrecognizedCommand = 261; // not one of the six command forms
inline constexpr unsigned Hardware = 262;            // no soundfont or no synthesizer
inline constexpr unsigned DuplicateAlias = 289;      // the alias is already open
inline constexpr unsigned FileNotFound = 275;        // the file cannot be read
inline constexpr unsigned InvalidFile = 296;         // the file is not a playable MIDI file
} // namespace MciError

// One parsed command. The six accepted forms, words separated by blanks:
//   open "<path>" alias <alias>     play <alias>     play <alias> from 0
//   stop <alias>     close <alias>     status <alias> mode
struct MciCommand
{
    enum class Verb
    {
        Open,
        Play,
        PlayFromStart,
        Stop,
        Close,
        StatusMode,
    };
    Verb verb = Verb::Play;
    QByteArray alias;
    QByteArray path; // open only: the bytes between the quotes (the file system's encoding)
};

// The command, or nothing when the text is not one of the six forms.
std::optional<MciCommand> ParseMciCommand(QByteArrayView text);

} // namespace pelloway
