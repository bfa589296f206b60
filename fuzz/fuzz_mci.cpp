// Command strings, one per line, sent through the alias table over devices that only keep
// their state. Every command must answer with 0 or an error code, a status reply must stay
// inside its buffer and end with a NUL, and a parsed command must name a non-empty alias.

#include "platform/linux/mci/MciCommand.h"
#include "platform/linux/mci/SequencerMci.h"

#include <array>
#include <cstdlib>
#include <cstring>

using namespace pelloway;

namespace {

class StateDevice final : public SequencerDevice
{
public:
    void Play() override { m_playing = true; }
    void PlayFromStart() override { m_playing = true; }
    void Stop() override { m_playing = false; }
    bool IsPlaying() const override { return m_playing; }

private:
    bool m_playing = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SequencerMci mci([](const QString& path, unsigned& error) -> std::unique_ptr<SequencerDevice> {
        if (path.size() % 3 == 0) {
            error = MciError::InvalidFile;
            return nullptr;
        }
        return std::make_unique<StateDevice>();
    });
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    qsizetype start = 0;
    while (start <= input.size()) {
        qsizetype end = input.indexOf('\n', start);
        if (end < 0)
            end = input.size();
        const QByteArrayView line = input.sliced(start, end - start);
        if (const auto command = ParseMciCommand(line); command && command->alias.isEmpty())
            std::abort();
        std::array<char, 16> reply;
        reply.fill('x');
        const size_t capacity = line.size() % 12;
        const unsigned result = mci.mciSendStringA(line, std::span<char>(reply.data(), capacity));
        if (capacity > 0 && result == 0 && line.startsWith("status") &&
            !std::memchr(reply.data(), 0, capacity))
            std::abort();
        for (size_t i = capacity; i < reply.size(); ++i)
            if (reply[i] != 'x')
                std::abort();
        start = end + 1;
    }
    return 0;
}
