#pragma once
// The tune device of this machine: standard MIDI files played by libfluidsynth with a
// General MIDI soundfont, behind the command strings of SequencerMci.

#include "platform/linux/mci/FluidSynthLibrary.h"
#include "platform/linux/mci/SequencerMci.h"

#include <QStringList>
#include <memory>

namespace pelloway {

struct FluidSynthOptions
{
    // Soundfonts tried in order; the first that loads is used. The first name is the
    // system's choice of General MIDI font, so a better one installed by the user wins.
    QStringList soundFonts{QStringLiteral("/usr/share/sounds/sf2/default-GM.sf2"),
                           QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2")};
    // Audio drivers tried in order. When none starts, the tune plays silently in real time
    // into /dev/null, so that its end is still reported.
    QStringList drivers{QStringLiteral("pulseaudio"), QStringLiteral("alsa")};
    // When set, no audio driver is tried: each opened tune writes its output, from open to
    // close and in real time, to this 16-bit stereo WAV file at 44100 Hz.
    QString renderWav;
    // The synthesizer library, loaded when the first tune opens.
    QString library = DefaultFluidSynthLibrary();
};

// Opening a tune answers at once: a missing or unreadable file, one that is not a MIDI file,
// no synthesizer library and no soundfont are reported by the open command. The soundfont
// loads (once) and the output starts on a thread of the device's own; a tune asked to play
// meanwhile starts as soon as they are ready.
std::unique_ptr<Mci> MakeFluidSynthMci(FluidSynthOptions options = {});

} // namespace pelloway
