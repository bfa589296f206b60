#!/usr/bin/python3
"""Writes assets/Sound/Kouka.mid, the tune played for the new-mail event.

"Kouka" is a short, bright piece in C major at 132 beats a minute (about 18 seconds):
a doorbell-like call, an eight-bar melody on glockenspiel doubled by a soft flute,
marimba arpeggios, acoustic bass and light percussion, and the call again at the end,
so that it loops cleanly. General MIDI, standard MIDI file format 1, 480 ticks a beat.

The score below is the source; run this script to rebuild the file:
    /usr/bin/python3 art/tune/compose_tune.py [output.mid]
"""

import os
import struct
import sys

TICKS = 480  # per beat
TEMPO_BPM = 132
BEATS_PER_BAR = 4

NOTE_INDEX = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def pitch(name):
    """'C5' -> 72 (C4 is middle C, 60); a '#' or 'b' may follow the letter."""
    letter, rest = name[0], name[1:]
    shift = 0
    if rest and rest[0] in "#b":
        shift = 1 if rest[0] == "#" else -1
        rest = rest[1:]
    return 12 * (int(rest) + 1) + NOTE_INDEX[letter] + shift


# ---------------------------------------------------------------- the score
# Each bar lists (note or None for a rest, length in beats).

CALL = [("C6", .5), ("E6", .5), ("G6", .5), ("C7", .5), ("E6", 1), ("C6", 1)]

MELODY = [
    [("E5", .5), ("G5", .5), ("C6", 1), ("B5", .5), ("C6", .5), ("D6", 1)],
    [("E6", 1.5), ("D6", .5), ("C6", 1), ("A5", 1)],
    [("A5", .5), ("B5", .5), ("C6", .5), ("E6", .5), ("D6", 1), ("C6", 1)],
    [("B5", 1), ("G5", 1), ("D6", 2)],
    [("A5", .5), ("C6", .5), ("F6", 1), ("E6", .5), ("D6", .5), ("C6", 1)],
    [("G5", .5), ("C6", .5), ("E6", 1), ("D6", .5), ("C6", .5), ("G5", 1)],
    [("F5", .5), ("A5", .5), ("D6", 1), ("B5", .5), ("D6", .5), ("G6", 1)],
    [("E6", .5), ("G6", .5), ("C7", 2), (None, 1)],
]

ENDING = [("E6", 1), ("C6", 2), (None, 1)]

# Harmony: one or two chords a bar, as (chord, beats). Intro and ending hold C.
CHORDS = {
    "C": ["C4", "E4", "G4", "C5"],
    "Am": ["A3", "C4", "E4", "A4"],
    "F": ["F3", "A3", "C4", "F4"],
    "G": ["G3", "B3", "D4", "G4"],
    "Dm7": ["D3", "A3", "C4", "F4"],
    "G7": ["G3", "B3", "D4", "F4"],
}
HARMONY = [
    [("C", 4)], [("Am", 4)], [("F", 4)], [("G", 4)],
    [("F", 4)], [("C", 4)], [("Dm7", 2), ("G7", 2)], [("C", 4)],
]
BASS = {"C": ("C2", "G2"), "Am": ("A2", "E2"), "F": ("F2", "C3"), "G": ("G2", "D2"),
        "Dm7": ("D2", "A2"), "G7": ("G2", "D2")}

# Channels and General MIDI programs (numbered from 0).
GLOCKENSPIEL, FLUTE, MARIMBA, BASS_CH, DRUMS = 0, 1, 2, 3, 9
SETUP = [  # channel, program, volume, pan, reverb
    (GLOCKENSPIEL, 9, 110, 64, 50),
    (FLUTE, 73, 70, 48, 40),
    (MARIMBA, 12, 88, 84, 35),
    (BASS_CH, 32, 96, 64, 20),
    (DRUMS, 0, 72, 64, 30),
]
KICK, CLOSED_HAT, TAMBOURINE, TRIANGLE = 36, 42, 54, 81


# ---------------------------------------------------------------- building
class Track:
    def __init__(self, name):
        self.name = name
        self.events = []  # (tick, order, bytes): note-offs (order 0) before note-ons (1)

    def note(self, channel, key, start_beats, length_beats, velocity, gap=0.08):
        on = round(start_beats * TICKS)
        off = round((start_beats + length_beats * (1 - gap)) * TICKS)
        self.events.append((on, 1, bytes([0x90 | channel, key, velocity])))
        self.events.append((off, 0, bytes([0x80 | channel, key, 0])))

    def control(self, channel, tick, number, value):
        self.events.append((tick, 1, bytes([0xB0 | channel, number, value])))

    def program(self, channel, tick, number):
        self.events.append((tick, 1, bytes([0xC0 | channel, number])))

    def chunk(self, end_tick):
        data = bytearray(varlen(0) + meta(0x03, self.name.encode("ascii")))
        now = 0
        for tick, _, event in sorted(self.events, key=lambda e: (e[0], e[1])):
            data += varlen(tick - now) + event
            now = tick
        data += varlen(max(0, end_tick - now)) + meta(0x2F, b"")
        return b"MTrk" + struct.pack(">I", len(data)) + bytes(data)


def varlen(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def meta(kind, payload):
    return bytes([0xFF, kind]) + varlen(len(payload)) + payload


def accent(beat):
    """A little lift on the strong beats."""
    if beat % BEATS_PER_BAR == 0:
        return 12
    if beat % 2 == 0:
        return 6
    return 0 if beat == int(beat) else -6


def play_line(track, channel, bars, first_bar, transpose, velocity):
    for index, bar in enumerate(bars):
        beat = (first_bar + index) * BEATS_PER_BAR
        for name, length in bar:
            if name is not None:
                track.note(channel, pitch(name) + transpose, beat, length, velocity + accent(beat))
            beat += length


def compose():
    bars_total = 1 + len(MELODY) + 1
    end_tick = bars_total * BEATS_PER_BAR * TICKS
    seconds = bars_total * BEATS_PER_BAR * 60 / TEMPO_BPM
    assert 10 <= seconds <= 30, f"the tune lasts {seconds:.1f} s; it should last 10 to 30 s"

    conductor = Track("Kouka")
    conductor.events.append((0, 1, meta(0x58, bytes([4, 2, 24, 8]))))  # 4/4
    conductor.events.append((0, 1, meta(0x51, struct.pack(">I", round(60_000_000 / TEMPO_BPM))[1:])))

    setup = Track("Setup")
    for channel, program, volume, pan, reverb in SETUP:
        if channel != DRUMS:
            setup.program(channel, 0, program)
        setup.control(channel, 0, 7, volume)
        setup.control(channel, 0, 10, pan)
        setup.control(channel, 0, 91, reverb)
        setup.control(channel, 0, 93, 10)  # a touch of chorus

    melody = Track("Glockenspiel")
    flute = Track("Flute")
    last = bars_total - 1
    for track, channel, transpose, velocity in ((melody, GLOCKENSPIEL, 0, 96), (flute, FLUTE, -12, 58)):
        play_line(track, channel, [CALL], 0, transpose, velocity)
        play_line(track, channel, MELODY, 1, transpose, velocity)
        play_line(track, channel, [ENDING], last, transpose, velocity)

    marimba = Track("Marimba")
    bass = Track("Bass")
    # The call: one soft chord under it.
    for key in CHORDS["C"]:
        marimba.note(MARIMBA, pitch(key), 0, 2, 52)
    for index, bar in enumerate(HARMONY):
        beat = (1 + index) * BEATS_PER_BAR
        for chord, length in bar:
            tones = [pitch(k) for k in CHORDS[chord]]
            order = [0, 1, 2, 3, 2, 1, 2, 3][: int(length * 2)]
            for step, tone in enumerate(order):
                at = beat + step * .5
                marimba.note(MARIMBA, tones[tone], at, .5, 64 + accent(at))
            root, fifth = BASS[chord]
            if length == 4:
                bass.note(BASS_CH, pitch(root), beat, 1.5, 92)
                bass.note(BASS_CH, pitch(fifth), beat + 2, 1, 82)
                bass.note(BASS_CH, pitch(root), beat + 3.5, .5, 74)
            else:
                bass.note(BASS_CH, pitch(root), beat, length, 90)
            beat += length
    ending = last * BEATS_PER_BAR
    for key in CHORDS["C"]:
        marimba.note(MARIMBA, pitch(key), ending, 3, 66)
    bass.note(BASS_CH, pitch("C2"), ending, 3, 90)

    drums = Track("Percussion")
    drums.note(DRUMS, TRIANGLE, 0, 2, 70)
    for bar in range(1, last):
        beat = bar * BEATS_PER_BAR
        for step in range(8):
            drums.note(DRUMS, CLOSED_HAT, beat + step * .5, .25, 44 if step % 2 else 54)
        drums.note(DRUMS, KICK, beat, .5, 78)
        drums.note(DRUMS, KICK, beat + 2, .5, 66)
        drums.note(DRUMS, TAMBOURINE, beat + 1, .5, 46)
        drums.note(DRUMS, TAMBOURINE, beat + 3, .5, 46)
    drums.note(DRUMS, TRIANGLE, ending, 3, 74)
    drums.note(DRUMS, KICK, ending, .5, 74)

    tracks = [conductor, setup, melody, flute, marimba, bass, drums]
    header = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), TICKS)
    return header + b"".join(t.chunk(end_tick) for t in tracks)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.join(here, "..", "..", "assets", "Sound", "Kouka.mid")
    target = sys.argv[1] if len(sys.argv) > 1 else default
    with open(target, "wb") as out:
        out.write(compose())


if __name__ == "__main__":
    main()
