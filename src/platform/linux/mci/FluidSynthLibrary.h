#pragma once
// libfluidsynth, opened when the first tune opens rather than linked: a resting program
// carries neither the synthesizer nor the sound libraries it pulls in. Every function the
// tune device uses is in one table, looked up once.

#include <QString>
#include <fluidsynth.h>

namespace pelloway {

#define PELLOWAY_FLUIDSYNTH_FUNCTIONS(X)                                                                     \
    X(new_fluid_settings)                                                                                    \
    X(delete_fluid_settings)                                                                                 \
    X(fluid_settings_setnum)                                                                                 \
    X(fluid_settings_setint)                                                                                 \
    X(fluid_settings_setstr)                                                                                 \
    X(new_fluid_synth)                                                                                       \
    X(delete_fluid_synth)                                                                                    \
    X(fluid_synth_get_settings)                                                                              \
    X(fluid_synth_sfload)                                                                                    \
    X(fluid_synth_all_sounds_off)                                                                            \
    X(fluid_synth_system_reset)                                                                              \
    X(fluid_synth_write_s16)                                                                                 \
    X(new_fluid_player)                                                                                      \
    X(delete_fluid_player)                                                                                   \
    X(fluid_player_add_mem)                                                                                  \
    X(fluid_player_play)                                                                                     \
    X(fluid_player_stop)                                                                                     \
    X(fluid_player_seek)                                                                                     \
    X(fluid_player_get_current_tick)                                                                         \
    X(new_fluid_audio_driver)                                                                                \
    X(delete_fluid_audio_driver)                                                                             \
    X(fluid_set_log_function)

struct FluidSynthLibrary
{
#define PELLOWAY_FLUIDSYNTH_MEMBER(name) decltype(&::name) name = nullptr;
    PELLOWAY_FLUIDSYNTH_FUNCTIONS(PELLOWAY_FLUIDSYNTH_MEMBER)
#undef PELLOWAY_FLUIDSYNTH_MEMBER
};

// The library of that file name (a soname or a path), loaded and looked up on the first call
// and kept for the rest of the run; null when it cannot be loaded or lacks a function. Its
// messages go to our logging category, quiet unless enabled, and ALSA's error printing is
// silenced with it.
const FluidSynthLibrary* LoadFluidSynthLibrary(const QString& fileName);

// True when a file of that name is in one of the folders the dynamic loader searches first
// (LD_LIBRARY_PATH, the folder of the library at build time, /usr/local/lib, /usr/lib, /lib),
// or at that path when the name is one. Looks at the file system only, loads nothing.
bool FluidSynthLibraryFileExists(const QString& fileName);

// The soname the program was built against.
QString DefaultFluidSynthLibrary();

} // namespace pelloway
