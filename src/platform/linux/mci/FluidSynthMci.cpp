#include "platform/linux/mci/FluidSynthMci.h"

#include "platform/linux/mci/FluidSynthLibrary.h"
#include "platform/linux/mci/MciCommand.h"
#include "platform/linux/mci/MidiFile.h"

#include <QFile>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace pelloway {

namespace {

constexpr double SampleRate = 44100.0;
constexpr int PeriodSize = 1024; // about 1 % of a core while playing; 64 costs about 4 %
constexpr qint64 LargestTune = 16 * 1024 * 1024;

fluid_settings_t* newSettings(const FluidSynthLibrary& f)
{
    fluid_settings_t* settings = f.new_fluid_settings();
    if (!settings)
        return nullptr;
    f.fluid_settings_setnum(settings, "synth.sample-rate", SampleRate);
    f.fluid_settings_setnum(settings, "synth.gain", 1.0);
    f.fluid_settings_setint(settings, "audio.period-size", PeriodSize);
    f.fluid_settings_setint(settings, "synth.midi-channels", 16);
    return settings;
}

// One thread for the synthesizer's slow work, done in the order it was asked for: loading
// the soundfont, starting a tune's output, ending it.
class Worker
{
public:
    Worker() : m_thread([this] { run(); }) {}
    ~Worker() { finish(); }

    void post(std::function<void()> task)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
        }
        m_wake.notify_one();
    }
    // Runs what is queued, then ends the thread.
    void finish()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_finishing = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    void run()
    {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_finishing || !m_tasks.empty(); });
                if (m_tasks.empty())
                    return;
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            task();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    bool m_finishing = false;
    std::thread m_thread;
};

// The synthesizer of one tune device, made when its first tune opens: the library and a
// synth with the soundfont, loaded once on the worker thread and kept for every later tune
// (a General MIDI soundfont takes from tens of milliseconds to most of a second to load).
class Engine
{
public:
    explicit Engine(FluidSynthOptions options)
        : m_options(std::move(options)), m_library(m_loaded.get_future().share())
    {
        m_worker.post([this] {
            f = LoadFluidSynthLibrary(m_options.library);
            m_loaded.set_value(f);
        });
    }
    ~Engine()
    {
        m_worker.post([this] {
            for (fluid_synth_t* synth : m_idle)
                f->delete_fluid_synth(synth);
            m_idle.clear();
            for (fluid_settings_t* settings : m_settings)
                f->delete_fluid_settings(settings);
        });
        m_worker.finish();
    }

    // Whether the library loaded, once known within `wait`.
    std::optional<bool> libraryLoaded(std::chrono::milliseconds wait) const
    {
        if (m_library.wait_for(wait) != std::future_status::ready)
            return std::nullopt;
        return m_library.get() != nullptr;
    }

    void post(std::function<void()> task) { m_worker.post(std::move(task)); }
    const FluidSynthOptions& options() const { return m_options; }

    // Worker thread only. A synth with the soundfont, or null when none loads. Another open
    // tune keeps its own, so a second one at the same time gets one of its own.
    fluid_synth_t* takeSynth()
    {
        if (!f)
            return nullptr;
        if (!m_idle.empty()) {
            fluid_synth_t* synth = m_idle.back();
            m_idle.pop_back();
            return synth;
        }
        fluid_settings_t* settings = newSettings(*f);
        if (!settings)
            return nullptr;
        m_settings.push_back(settings);
        fluid_synth_t* synth = f->new_fluid_synth(settings);
        if (!synth)
            return nullptr;
        for (const QString& font : m_options.soundFonts) {
            if (QFile::exists(font) &&
                f->fluid_synth_sfload(synth, QFile::encodeName(font).constData(), 1) != FLUID_FAILED)
                return synth;
        }
        f->delete_fluid_synth(synth);
        return nullptr;
    }
    // Worker thread only: the synth of a closed tune, silent and reset, for the next one.
    void giveBack(fluid_synth_t* synth)
    {
        f->fluid_synth_all_sounds_off(synth, -1);
        f->fluid_synth_system_reset(synth);
        m_idle.push_back(synth);
    }

    // Set by the worker before any tune's task runs; the window's thread uses it only for a
    // tune whose output is ready.
    const FluidSynthLibrary* f = nullptr;

private:
    FluidSynthOptions m_options;
    std::promise<const FluidSynthLibrary*> m_loaded;
    std::shared_future<const FluidSynthLibrary*> m_library;
    std::vector<fluid_synth_t*> m_idle;
    std::vector<fluid_settings_t*> m_settings;
    Worker m_worker; // last: it finishes before the members its tasks use go
};

// What a tune's output is, shared by the window's thread (the commands) and the worker (which
// starts and ends the output). Until the output runs, the commands are kept and applied when
// it starts.
struct Output
{
    std::mutex mutex;
    bool ready = false;
    bool failed = false;
    bool wantPlay = false;
    bool wantFromStart = false;
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_player_t* player = nullptr;
    fluid_audio_driver_t* driver = nullptr;
};

fluid_audio_driver_t* startFileDriver(const FluidSynthLibrary& f, Output& out, const QByteArray& fileName,
                                      const char* type)
{
    // The file renderer reads its file settings from the synth's own settings.
    for (fluid_settings_t* settings : {out.settings, f.fluid_synth_get_settings(out.synth)}) {
        f.fluid_settings_setstr(settings, "audio.driver", "file");
        f.fluid_settings_setstr(settings, "audio.file.name", fileName.constData());
        f.fluid_settings_setstr(settings, "audio.file.type", type);
        f.fluid_settings_setstr(settings, "audio.file.format", "s16");
    }
    return f.new_fluid_audio_driver(out.settings, out.synth);
}

// Worker thread: the synth, the player with the tune and the audio output.
void startOutput(Engine& engine, Output& out, const QByteArray& bytes)
{
    fluid_synth_t* synth = engine.takeSynth();
    if (!synth) {
        const std::lock_guard lock(out.mutex);
        out.failed = true;
        return;
    }
    const FluidSynthLibrary& f = *engine.f;
    const FluidSynthOptions& options = engine.options();
    fluid_settings_t* settings = newSettings(f);
    fluid_player_t* player = settings ? f.new_fluid_player(synth) : nullptr;
    const std::lock_guard lock(out.mutex);
    out.synth = synth;
    out.settings = settings;
    out.player = player;
    if (!player || f.fluid_player_add_mem(player, bytes.constData(), size_t(bytes.size())) != FLUID_OK) {
        out.failed = true;
        return;
    }
    // The player starts before the output, so that a tune asked to play starts at once.
    if (out.wantPlay) {
        if (out.wantFromStart)
            f.fluid_player_seek(player, 0);
        f.fluid_player_play(player);
    }
    if (options.render) {
        options.render->Attach(&f, synth);
        out.ready = true;
        return;
    }
    if (!options.renderWav.isEmpty()) {
        out.driver = startFileDriver(f, out, QFile::encodeName(options.renderWav), "wav");
    } else {
        for (const QString& name : options.drivers) {
            f.fluid_settings_setstr(settings, "audio.driver", name.toLatin1().constData());
            if ((out.driver = f.new_fluid_audio_driver(settings, synth)))
                break;
        }
        // No driver: the tune plays silently in real time, so that its end is still reported.
        if (!out.driver)
            out.driver = startFileDriver(f, out, "/dev/null", "raw");
    }
    out.failed = out.driver == nullptr;
    out.ready = !out.failed;
}

// Worker thread: the output ends and the synth goes back for the next tune.
void endOutput(Engine& engine, Output& out)
{
    const std::lock_guard lock(out.mutex);
    if (!engine.f)
        return;
    const FluidSynthLibrary& f = *engine.f;
    // The driver's thread calls into the player and the synth: it goes first.
    if (engine.options().render && out.synth)
        engine.options().render->Attach(nullptr, nullptr);
    if (out.driver)
        f.delete_fluid_audio_driver(out.driver);
    if (out.player) {
        f.fluid_player_stop(out.player);
        f.delete_fluid_player(out.player);
    }
    if (out.synth)
        engine.giveBack(out.synth);
    if (out.settings)
        f.delete_fluid_settings(out.settings);
    out.driver = nullptr;
    out.player = nullptr;
    out.synth = nullptr;
    out.settings = nullptr;
    out.ready = false;
}

class FluidSynthDevice final : public SequencerDevice
{
public:
    FluidSynthDevice(std::shared_ptr<Engine> engine, QByteArray bytes, int totalTicks)
        : m_engine(std::move(engine)), m_out(std::make_shared<Output>()), m_totalTicks(totalTicks)
    {
        m_engine->post([engine = m_engine.get(), out = m_out, bytes = std::move(bytes)] {
            startOutput(*engine, *out, bytes);
        });
    }
    ~FluidSynthDevice() override
    {
        // Ending the output waits for the driver's thread: the worker does it.
        m_engine->post([engine = m_engine.get(), out = m_out] { endOutput(*engine, *out); });
    }

    void Play() override
    {
        const std::lock_guard lock(m_out->mutex);
        if (m_out->ready)
            m_engine->f->fluid_player_play(m_out->player);
        else
            m_out->wantPlay = true;
        m_started = true;
        m_userStopped = false;
    }

    void PlayFromStart() override
    {
        {
            const std::lock_guard lock(m_out->mutex);
            // Until the player takes the seek on its next block its tick still stands at the end.
            if (m_out->ready)
                m_seekPending = m_engine->f->fluid_player_seek(m_out->player, 0) == FLUID_OK;
            else
                m_out->wantFromStart = true;
        }
        Play();
    }

    void Stop() override
    {
        const std::lock_guard lock(m_out->mutex);
        // The player reports a stop like a natural end: remember which one it was.
        if (m_out->ready) {
            m_engine->f->fluid_player_stop(m_out->player);
            m_engine->f->fluid_synth_all_sounds_off(m_out->synth, -1);
        } else {
            m_out->wantPlay = false;
            m_out->wantFromStart = false;
        }
        m_userStopped = true;
    }

    bool IsPlaying() const override
    {
        if (!m_started || m_userStopped)
            return false;
        const std::lock_guard lock(m_out->mutex);
        if (m_out->failed)
            return false;
        if (!m_out->ready)
            return true; // asked to play; the output is still starting
        // The player's own end comes about two seconds after the last note (fade-out and a
        // fixed wait); the tick reaching the total is the end as heard.
        const bool beforeEnd = m_engine->f->fluid_player_get_current_tick(m_out->player) < m_totalTicks;
        if (m_seekPending) {
            if (!beforeEnd)
                return true;
            m_seekPending = false;
        }
        return beforeEnd;
    }

private:
    std::shared_ptr<Engine> m_engine;
    std::shared_ptr<Output> m_out;
    int m_totalTicks = 0;
    bool m_started = false;
    bool m_userStopped = false;
    mutable bool m_seekPending = false;
};

bool anySoundFont(const FluidSynthOptions& options)
{
    for (const QString& font : options.soundFonts)
        if (QFile::exists(font))
            return true;
    return false;
}

} // namespace

bool FluidSynthRender::Render(int frames, std::vector<std::int16_t>& samples)
{
    const std::lock_guard lock(m_mutex);
    if (!m_synth)
        return false;
    const size_t start = samples.size();
    samples.resize(start + 2 * size_t(std::max(frames, 0)));
    std::int16_t* out = samples.data() + start;
    if (frames > 0)
        m_f->fluid_synth_write_s16(m_synth, frames, out, 0, 2, out, 1, 2);
    return true;
}

void FluidSynthRender::Attach(const FluidSynthLibrary* f, fluid_synth_t* synth)
{
    const std::lock_guard lock(m_mutex);
    m_f = f;
    m_synth = synth;
}

// The window's thread does only what answers at once: reading and checking the file. The
// library, the soundfont and the output load and start on the worker.
std::unique_ptr<Mci> MakeFluidSynthMci(FluidSynthOptions options)
{
    auto engine = std::make_shared<std::shared_ptr<Engine>>();
    return std::make_unique<SequencerMci>(
        [options, engine](const QString& path, unsigned& error) -> std::unique_ptr<SequencerDevice> {
            QFile file(path);
            if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
                error = MciError::FileNotFound;
                return nullptr;
            }
            if (file.size() > LargestTune) {
                error = MciError::InvalidFile;
                return nullptr;
            }
            QByteArray bytes = file.readAll();
            const int totalTicks = MidiTotalTicks(bytes);
            if (totalTicks <= 0) {
                error = MciError::InvalidFile;
                return nullptr;
            }
            if (!anySoundFont(options)) {
                error = MciError::Hardware;
                return nullptr;
            }
            if (!*engine) {
                // A library not where libraries live is tried at once: on a machine without it
                // that fails in no time, and the open says so. One that is there loads on the
                // worker, taking from a few to tens of milliseconds.
                if (!FluidSynthLibraryFileExists(options.library) &&
                    !LoadFluidSynthLibrary(options.library)) {
                    error = MciError::Hardware;
                    return nullptr;
                }
                *engine = std::make_shared<Engine>(options);
            }
            // A library that turned out unusable fails every later tune at once.
            if ((*engine)->libraryLoaded(std::chrono::milliseconds(0)) == false) {
                error = MciError::Hardware;
                return nullptr;
            }
            error = 0;
            return std::make_unique<FluidSynthDevice>(*engine, std::move(bytes), totalTicks);
        });
}

} // namespace pelloway
