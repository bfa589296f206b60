#pragma once
// Reading a standard MIDI file's structure without a synthesizer.

#include <QByteArrayView>

namespace pelloway {

// The length of the tune in ticks (the longest track's deltas added up), or 0 when the bytes
// are not a complete standard MIDI file: a header, as many track chunks as it announces, each
// whole and made of well-formed events.
int MidiTotalTicks(QByteArrayView bytes);

} // namespace pelloway
