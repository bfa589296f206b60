#pragma once
// Short standard MIDI files written by the tests themselves. One track at 120 beats a minute
// and 480 ticks a beat, so 960 ticks make a second.

#include <QByteArray>
#include <initializer_list>

namespace pelloway::test {

// A file with one track holding the given events (delta ticks, then the event's bytes),
// ended by an end-of-track `endDelta` ticks after the last event.
inline QByteArray MidiFile(const QByteArray& events, quint32 endDelta)
{
    auto be32 = [](QByteArray& out, quint32 v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.append(char((v >> shift) & 0xFF));
    };
    QByteArray track = events;
    track.append(char(endDelta)); // callers keep it below 128
    track.append("\xFF\x2F\x00", 3);
    QByteArray file("MThd");
    be32(file, 6);
    file.append("\x00\x00\x00\x01\x01\xE0", 6); // format 0, one track, 480 ticks a beat
    file.append("MTrk");
    be32(file, quint32(track.size()));
    file.append(track);
    return file;
}

// Piano notes every 100 ms, each 50 ms long, `count` of them: the tune lasts count x 100 ms
// (to its end-of-track) and sounds throughout, so a stop or a restart shows in its output.
inline QByteArray PulseTune(int count)
{
    QByteArray events;
    events.append("\x00\xFF\x51\x03\x07\xA1\x20", 7); // 500000 microseconds a beat
    events.append("\x00\xC0\x00", 3);                 // acoustic grand piano
    for (int i = 0; i < count; ++i) {
        const char key = char(i % 2 ? 76 : 72);
        events.append(char(i == 0 ? 0 : 48)); // the gap after the previous note-off
        events.append(char(0x90));
        events.append(key);
        events.append(char(120));
        events.append(char(48));
        events.append(char(0x80));
        events.append(key);
        events.append(char(0));
    }
    return MidiFile(events, 48);
}

} // namespace pelloway::test
