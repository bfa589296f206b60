#include "platform/mci/FluidSynthMci.h"

#include "platform/mci/MciCommand.h"

#include <QFile>
#include <QLoggingCategory>
#include <alsa/asoundlib.h>
#include <fluidsynth.h>
#include <mutex>

namespace pelloway {

namespace {

Q_LOGGING_CATEGORY(lcMci, "pelloway.mci", QtWarningMsg)

constexpr double SampleRate = 44100.0;
constexpr int PeriodSize = 1024; // about 1 % of a core while playing; 64 costs about 4 %
constexpr qint64 LargestTune = 16 * 1024 * 1024;

void fluidLog(int level, const char* message, void*)
{
    switch (level) {
    case FLUID_PANIC:
        qCWarning(lcMci, "fluidsynth: %s", message);
        break;
    case FLUID_ERR:
    case FLUID_WARN:
        qCInfo(lcMci, "fluidsynth: %s", message);
        break;
    default:
        qCDebug(lcMci, "fluidsynth: %s", message);
        break;
    }
}

void alsaSilent(const char*, int, const char*, int, const char*, ...) {}

// fluidsynth's messages go to our logging category (quiet unless enabled), and ALSA's error
// printing, which would report a missing sound card on stderr, is silenced.
void quietLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, fluidLog, nullptr);
        snd_lib_error_set_handler(alsaSilent);
    });
}

fluid_settings_t* newSettings()
{
    fluid_settings_t* settings = new_fluid_settings();
    if (!settings)
        return nullptr;
    fluid_settings_setnum(settings, "synth.sample-rate", SampleRate);
    fluid_settings_setnum(settings, "synth.gain", 1.0);
    fluid_settings_setint(settings, "audio.period-size", PeriodSize);
    fluid_settings_setint(settings, "synth.midi-channels", 16);
    return settings;
}

// The total ticks of the tune, or 0 when libfluidsynth cannot read it as a MIDI file. It
// would only find that out at play, so the bytes go through a throwaway player on a synth
// without any soundfont (silent) and one block is rendered.
int probeTotalTicks(const QByteArray& bytes)
{
    fluid_settings_t* settings = newSettings();
    if (!settings)
        return 0;
    fluid_settings_setint(settings, "synth.reverb.active", 0);
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    int total = 0;
    if (fluid_synth_t* synth = new_fluid_synth(settings)) {
        if (fluid_player_t* player = new_fluid_player(synth)) {
            if (fluid_player_add_mem(player, bytes.constData(), size_t(bytes.size())) == FLUID_OK &&
                fluid_player_play(player) == FLUID_OK) {
                float left[64];
                float right[64];
                fluid_synth_write_float(synth, 64, left, 0, 1, right, 0, 1);
                total = fluid_player_get_total_ticks(player);
                fluid_player_stop(player);
            }
            delete_fluid_player(player);
        }
        delete_fluid_synth(synth);
    }
    delete_fluid_settings(settings);
    return total;
}

class FluidSynthDevice final : public SequencerDevice
{
public:
    ~FluidSynthDevice() override
    {
        // The driver's thread calls into the player and the synth: it goes first.
        if (m_driver)
            delete_fluid_audio_driver(m_driver);
        if (m_player)
            delete_fluid_player(m_player);
        if (m_synth)
            delete_fluid_synth(m_synth);
        if (m_settings)
            delete_fluid_settings(m_settings);
    }

    unsigned open(const QByteArray& bytes, int totalTicks, const FluidSynthOptions& options)
    {
        m_totalTicks = totalTicks;
        m_settings = newSettings();
        m_synth = m_settings ? new_fluid_synth(m_settings) : nullptr;
        if (!m_synth)
            return MciError::Hardware;
        bool haveFont = false;
        for (const QString& font : options.soundFonts) {
            if (QFile::exists(font) &&
                fluid_synth_sfload(m_synth, QFile::encodeName(font).constData(), 1) != FLUID_FAILED) {
                haveFont = true;
                break;
            }
        }
        if (!haveFont)
            return MciError::Hardware;
        m_player = new_fluid_player(m_synth);
        if (!m_player || fluid_player_add_mem(m_player, bytes.constData(), size_t(bytes.size())) != FLUID_OK)
            return MciError::Hardware;

        if (!options.renderWav.isEmpty()) {
            m_driver = startFileDriver(QFile::encodeName(options.renderWav), "wav");
        } else {
            for (const QString& name : options.drivers) {
                fluid_settings_setstr(m_settings, "audio.driver", name.toLatin1().constData());
                if ((m_driver = new_fluid_audio_driver(m_settings, m_synth)))
                    break;
            }
            if (!m_driver)
                m_driver = startFileDriver("/dev/null", "raw");
        }
        return m_driver ? 0 : MciError::Hardware;
    }

    void Play() override
    {
        fluid_player_play(m_player);
        m_started = true;
        m_userStopped = false;
    }

    void PlayFromStart() override
    {
        // Until the player takes the seek on its next block its tick still stands at the end.
        m_seekPending = fluid_player_seek(m_player, 0) == FLUID_OK;
        Play();
    }

    void Stop() override
    {
        // The player reports a stop like a natural end: remember which one it was.
        fluid_player_stop(m_player);
        fluid_synth_all_sounds_off(m_synth, -1);
        m_userStopped = true;
    }

    bool IsPlaying() const override
    {
        if (!m_started || m_userStopped)
            return false;
        // The player's own end comes about two seconds after the last note (fade-out and a
        // fixed wait); the tick reaching the total is the end as heard.
        const bool beforeEnd = fluid_player_get_current_tick(m_player) < m_totalTicks;
        if (m_seekPending) {
            if (!beforeEnd)
                return true;
            m_seekPending = false;
        }
        return beforeEnd;
    }

private:
    fluid_audio_driver_t* startFileDriver(const QByteArray& fileName, const char* type)
    {
        fluid_settings_setstr(m_settings, "audio.driver", "file");
        fluid_settings_setstr(m_settings, "audio.file.name", fileName.constData());
        fluid_settings_setstr(m_settings, "audio.file.type", type);
        fluid_settings_setstr(m_settings, "audio.file.format", "s16");
        return new_fluid_audio_driver(m_settings, m_synth);
    }

    fluid_settings_t* m_settings = nullptr;
    fluid_synth_t* m_synth = nullptr;
    fluid_player_t* m_player = nullptr;
    fluid_audio_driver_t* m_driver = nullptr;
    int m_totalTicks = 0;
    bool m_started = false;
    bool m_userStopped = false;
    mutable bool m_seekPending = false;
};

} // namespace

std::unique_ptr<SequencerDevice> OpenFluidSynthDevice(const QString& path, const FluidSynthOptions& options,
                                                      unsigned& error)
{
    quietLibraries();
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        error = MciError::FileNotFound;
        return nullptr;
    }
    if (file.size() > LargestTune) {
        error = MciError::InvalidFile;
        return nullptr;
    }
    const QByteArray bytes = file.readAll();
    const int totalTicks = probeTotalTicks(bytes);
    if (totalTicks <= 0) {
        error = MciError::InvalidFile;
        return nullptr;
    }
    auto device = std::make_unique<FluidSynthDevice>();
    error = device->open(bytes, totalTicks, options);
    if (error != 0)
        return nullptr;
    return device;
}

std::unique_ptr<Mci> MakeFluidSynthMci(FluidSynthOptions options)
{
    return std::make_unique<SequencerMci>([options](const QString& path, unsigned& error) {
        return OpenFluidSynthDevice(path, options, error);
    });
}

} // namespace pelloway
