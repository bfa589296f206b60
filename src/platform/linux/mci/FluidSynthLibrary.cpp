#include "platform/linux/mci/FluidSynthLibrary.h"

#include <QFile>
#include <QLoggingCategory>
#include <QStringList>
#include <dlfcn.h>
#include <map>
#include <memory>
#include <mutex>

namespace pelloway {

namespace {

Q_LOGGING_CATEGORY(lcMci, "pelloway.mci", QtWarningMsg)

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

// ALSA comes with libfluidsynth; when it is there, its error printing (which reports a
// missing sound card on standard error) is silenced.
void quietAlsa()
{
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    void* alsa = dlopen("libasound.so.2", RTLD_LAZY | RTLD_NOLOAD);
    if (!alsa)
        return;
    if (auto set = reinterpret_cast<int (*)(Handler)>(dlsym(alsa, "snd_lib_error_set_handler")))
        set(alsaSilent);
    dlclose(alsa); // only drops the reference taken above
}

std::unique_ptr<FluidSynthLibrary> load(const QString& fileName)
{
    // Never closed: the synthesizer's threads and the sound libraries' own state stay valid
    // for the rest of the run.
    void* handle = dlopen(QFile::encodeName(fileName).constData(), RTLD_LAZY | RTLD_LOCAL);
    if (!handle) {
        qCInfo(lcMci, "%s", dlerror());
        return nullptr;
    }
    auto library = std::make_unique<FluidSynthLibrary>();
    bool complete = true;
#define PELLOWAY_FLUIDSYNTH_LOOKUP(name)                                                                     \
    library->name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));                               \
    complete = complete && library->name != nullptr;
    PELLOWAY_FLUIDSYNTH_FUNCTIONS(PELLOWAY_FLUIDSYNTH_LOOKUP)
#undef PELLOWAY_FLUIDSYNTH_LOOKUP
    if (!complete) {
        qCInfo(lcMci, "%s lacks a function the tune device uses", qPrintable(fileName));
        return nullptr;
    }
    for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
        library->fluid_set_log_function(level, fluidLog, nullptr);
    quietAlsa();
    return library;
}

} // namespace

const FluidSynthLibrary* LoadFluidSynthLibrary(const QString& fileName)
{
    static std::mutex mutex;
    static std::map<QString, std::unique_ptr<FluidSynthLibrary>> loaded;
    const std::lock_guard lock(mutex);
    auto found = loaded.find(fileName);
    if (found == loaded.end())
        found = loaded.emplace(fileName, load(fileName)).first;
    return found->second.get();
}

bool FluidSynthLibraryFileExists(const QString& fileName)
{
    if (fileName.contains(u'/'))
        return QFile::exists(fileName);
    QStringList folders = qEnvironmentVariable("LD_LIBRARY_PATH").split(u':', Qt::SkipEmptyParts);
    folders << QStringLiteral(PELLOWAY_FLUIDSYNTH_DIR) << QStringLiteral("/usr/local/lib")
            << QStringLiteral("/usr/lib") << QStringLiteral("/lib");
    for (const QString& folder : folders)
        if (QFile::exists(folder + u'/' + fileName))
            return true;
    return false;
}

QString DefaultFluidSynthLibrary()
{
    return QStringLiteral(PELLOWAY_FLUIDSYNTH_SONAME);
}

} // namespace pelloway
