#pragma once
// The command-string layer over MIDI sequencer devices: parses the six command forms, keeps
// one device per alias and answers with error codes.

#include "platform/Mci.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <map>
#include <memory>

namespace pelloway {

// One opened tune.
class SequencerDevice
{
public:
    virtual ~SequencerDevice() = default;
    // Plays from the current position; does nothing while playing.
    virtual void Play() = 0;
    // Plays from the beginning.
    virtual void PlayFromStart() = 0;
    // Stops and silences; a later Play resumes from where it stopped.
    virtual void Stop() = 0;
    // True while playing and the tune has not reached its end.
    virtual bool IsPlaying() const = 0;
};

// Opens the tune at `path`, or returns null and sets `error` to a code of MciError.
using SequencerFactory =
    std::function<std::unique_ptr<SequencerDevice>(const QString& path, unsigned& error)>;

class SequencerMci final : public Mci
{
public:
    explicit SequencerMci(SequencerFactory factory);
    ~SequencerMci() override;

    // "status <alias> mode" writes "playing" or "stopped".
    unsigned mciSendStringA(QByteArrayView command, std::span<char> reply) override;

private:
    SequencerFactory m_factory;
    std::map<QByteArray, std::unique_ptr<SequencerDevice>> m_devices;
};

} // namespace pelloway
