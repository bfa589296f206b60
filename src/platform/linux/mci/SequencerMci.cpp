#include "platform/linux/mci/SequencerMci.h"

#include "platform/linux/mci/MciCommand.h"

#include <QFile>
#include <algorithm>
#include <cstring>

namespace pelloway {

namespace {

// Writes the text and a NUL over the start of the buffer, cut to fit; the rest keeps its bytes.
void writeReply(std::span<char> reply, QByteArrayView text)
{
    if (reply.empty())
        return;
    const size_t n = std::min(size_t(text.size()), reply.size() - 1);
    std::memcpy(reply.data(), text.data(), n);
    reply[n] = '\0';
}

} // namespace

SequencerMci::SequencerMci(SequencerFactory factory) : m_factory(std::move(factory)) {}

SequencerMci::~SequencerMci() = default;

unsigned SequencerMci::mciSendStringA(QByteArrayView text, std::span<char> reply)
{
    const std::optional<MciCommand> command = ParseMciCommand(text);
    if (!command)
        return MciError::UnrecognizedCommand;

    if (command->verb == MciCommand::Verb::Open) {
        if (m_devices.contains(command->alias))
            return MciError::DuplicateAlias;
        unsigned error = MciError::InvalidFile;
        std::unique_ptr<SequencerDevice> device = m_factory(QFile::decodeName(command->path), error);
        if (!device)
            return error != 0 ? error : MciError::InvalidFile;
        m_devices.emplace(command->alias, std::move(device));
        return 0;
    }

    const auto found = m_devices.find(command->alias);
    if (found == m_devices.end())
        return MciError::InvalidDeviceId;
    SequencerDevice& device = *found->second;
    switch (command->verb) {
    case MciCommand::Verb::Play:
        device.Play();
        break;
    case MciCommand::Verb::PlayFromStart:
        device.PlayFromStart();
        break;
    case MciCommand::Verb::Stop:
        device.Stop();
        break;
    case MciCommand::Verb::Close:
        m_devices.erase(found);
        break;
    case MciCommand::Verb::StatusMode:
        writeReply(reply, device.IsPlaying() ? "playing" : "stopped");
        break;
    case MciCommand::Verb::Open:
        break;
    }
    return 0;
}

} // namespace pelloway
