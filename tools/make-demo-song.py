#!/usr/bin/env python3
"""Writes resources/demo/demo.mid: eight bars in 4/4 at 112 BPM for Polyquinta.

Track 1 holds a left-hand chord progression below the split point (C3),
track 2 a right-hand melody above it, both on MIDI channel 1 as a keyboard
sends them. Only the standard library is used, so the file can be made anew
anywhere.
"""

import struct
import sys
from pathlib import Path

PPQ = 480
BAR = 4 * PPQ


def var_len(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, (value & 0x7F) | 0x80)
        value >>= 7
    return bytes(out)


def track(events):
    """events: (tick, bytes), any order; stable by tick."""
    data = b""
    now = 0
    for tick, message in sorted(events, key=lambda e: e[0]):
        data += var_len(tick - now) + message
        now = tick
    data += var_len(0) + b"\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(data)) + data


def note(start, length, key, velocity):
    return [(start, bytes([0x90, key, velocity])), (start + length, bytes([0x80, key, 0]))]


# Left hand: one chord per bar, held for the whole bar (C Am F G C F G7 C).
CHORDS = [
    (36, 40, 43), (33, 36, 40), (29, 33, 36), (31, 35, 38),
    (36, 40, 43), (29, 33, 36), (31, 35, 41), (36, 40, 43),
]

# Right hand: (bar, beat, length in beats, key, velocity).
MELODY = [
    (0, 0, 1, 72, 92), (0, 1, 1, 74, 84), (0, 2, 2, 76, 96),
    (1, 0, 1, 76, 88), (1, 1, 1, 74, 80), (1, 2, 2, 72, 90),
    (2, 0, 1, 69, 86), (2, 1, 1, 72, 88), (2, 2, 2, 77, 100),
    (3, 0, 2, 79, 104), (3, 2, 1, 77, 90), (3, 3, 1, 74, 84),
    (4, 0, 1, 76, 94), (4, 1, 1, 79, 98), (4, 2, 2, 84, 108),
    (5, 0, 2, 81, 100), (5, 2, 1, 77, 90), (5, 3, 1, 76, 86),
    (6, 0, 1, 74, 92), (6, 1, 1, 77, 94), (6, 2, 2, 79, 100),
    (7, 0, 4, 72, 96),
]


def main():
    conductor = [
        (0, b"\xff\x03" + var_len(len(b"Polyquinta demo")) + b"Polyquinta demo"),
        (0, b"\xff\x58\x04\x04\x02\x18\x08"),
        (0, b"\xff\x51\x03" + struct.pack(">I", 60_000_000 // 112)[1:]),
    ]
    left = [(0, b"\xff\x03\x09Left hand")]
    for bar, chord in enumerate(CHORDS):
        for key in chord:
            left += note(bar * BAR, BAR - 10, key, 72)
    right = [(0, b"\xff\x03\x0aRight hand")]
    for bar, beat, beats, key, velocity in MELODY:
        right += note(bar * BAR + beat * PPQ, beats * PPQ - 20, key, velocity)

    header = b"MThd" + struct.pack(">IHHH", 6, 1, 3, PPQ)
    out = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent.parent / "resources/demo/demo.mid")
    out.write_bytes(header + track(conductor) + track(left) + track(right))


if __name__ == "__main__":
    main()
