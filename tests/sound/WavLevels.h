#pragma once
// Reads the 16-bit WAV files the tune device renders for tests and measures their levels in
// 10 ms windows.

#include <QByteArray>
#include <QtEndian>
#include <algorithm>
#include <cstdlib>
#include <vector>

namespace pelloway::test {

inline constexpr int WavRate = 44100;
inline constexpr int WindowFrames = WavRate / 100; // 10 ms

// The peak of each 10 ms window (both channels), or nothing when the bytes are not a 16-bit
// PCM WAV file.
inline std::vector<int> WindowPeaks(const QByteArray& wav)
{
    std::vector<int> peaks;
    if (wav.size() < 12 || !wav.startsWith("RIFF") || wav.mid(8, 4) != "WAVE")
        return peaks;
    int channels = 0;
    int bits = 0;
    qsizetype pos = 12;
    while (pos + 8 <= wav.size()) {
        const QByteArray id = wav.mid(pos, 4);
        const auto size = qsizetype(qFromLittleEndian<quint32>(wav.constData() + pos + 4));
        const qsizetype body = pos + 8;
        if (id == "fmt " && body + 16 <= wav.size()) {
            channels = qFromLittleEndian<quint16>(wav.constData() + body + 2);
            bits = qFromLittleEndian<quint16>(wav.constData() + body + 14);
        } else if (id == "data") {
            if (channels <= 0 || bits != 16)
                return peaks;
            const qsizetype end = std::min(wav.size(), body + size);
            const qsizetype frameBytes = 2 * channels;
            const qsizetype frames = (end - body) / frameBytes;
            for (qsizetype f = 0; f < frames; f += WindowFrames) {
                int peak = 0;
                for (qsizetype i = f; i < std::min(frames, f + WindowFrames); ++i)
                    for (int c = 0; c < channels; ++c)
                        peak = std::max(peak, std::abs(int(qFromLittleEndian<qint16>(
                                                  wav.constData() + body + i * frameBytes + 2 * c))));
                peaks.push_back(peak);
            }
            return peaks;
        }
        pos = body + size + (size & 1);
    }
    return peaks;
}

// Windows at or above this peak count as sound, below it as silence.
inline constexpr int LoudPeak = 1000; // about -30 dBFS

// Stretches of sound, as [first, last] window indexes; gaps shorter than `bridge` windows
// (the space between two notes) do not split a stretch.
struct Stretch
{
    int first = 0;
    int last = 0;
    int length() const { return last - first + 1; }
};

inline std::vector<Stretch> SoundStretches(const std::vector<int>& peaks, int bridge = 8)
{
    std::vector<Stretch> out;
    for (int i = 0; i < int(peaks.size()); ++i) {
        if (peaks[size_t(i)] < LoudPeak)
            continue;
        if (!out.empty() && i - out.back().last <= bridge)
            out.back().last = i;
        else
            out.push_back({i, i});
    }
    return out;
}

} // namespace pelloway::test
