#pragma once
// The tune device of this machine: standard MIDI files played by libfluidsynth with a
// General MIDI soundfont, behind the command strings of SequencerMci.

#include "platform/linux/mci/FluidSynthLibrary.h"
#include "platform/linux/mci/SequencerMci.h"

#include <QStringList>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace pelloway {

// An output taken on request instead of through an audio driver: the open tune advances only
// as its samples are rendered, so it renders as fast as it is asked for, and the same tune
// always gives the same samples.
class FluidSynthRender
{
public:
    // Appends `frames` frames of the open tune's output to `samples` (16-bit, left and right
    // interleaved, 44100 frames a second). False, appending nothing, while no tune's output
    // runs (before its open has finished on the device's thread, or after its close).
    bool Render(int frames, std::vector<std::int16_t>& samples);

    // The device's side: the synthesizer of the open tune, or null once it closes.
    void Attach(const FluidSynthLibrary* f, fluid_synth_t* synth);

private:
    std::mutex m_mutex;
    const FluidSynthLibrary* m_f = nullptr;
    fluid_synth_t* m_synth = nullptr;
};

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
    // When set, neither a driver nor a file: each opened tune is rendered only through this.
    std::shared_ptr<FluidSynthRender> render;
    // The synthesizer library, loaded when the first tune opens.
    QString library = DefaultFluidSynthLibrary();
};

// Opening a tune answers at once: a missing or unreadable file, one that is not a MIDI file,
// no synthesizer library and no soundfont are reported by the open command. The soundfont
// loads (once) and the output starts on a thread of the device's own; a tune asked to play
// meanwhile starts as soon as they are ready.
std::unique_ptr<Mci> MakeFluidSynthMci(FluidSynthOptions options = {});

} // namespace pelloway
