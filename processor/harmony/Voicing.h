#pragma once

#include "FixedList.h"
#include "Settings.h"

#include <cstdint>

/** The voicing rules: which voices a held chord gives under the melody.
    Pure functions of their arguments, for any thread; they never allocate. */
namespace Harmony
{
/** A key counts at most this many strikes (one per input channel), so that
    no input can make a voicing longer. */
inline constexpr int maxStrikesPerKey = 16;

/** Held chord notes (one entry per strike, in any order) or voices. */
using NoteList = FixedList<int, 128 * maxStrikesPerKey>;

/** A held melody key and the velocity of its first strike since its release. */
struct MelodyKey
{
    int note = 0;
    uint8_t velocity = 0;
};

/** The held melody keys, lowest first. */
using MelodyKeys = FixedList<MelodyKey, 128>;

/** The harmony types, by their value in the settings (Settings::harmonyTypeNames).
    "Below" and "above" count chord tones at least two semitones from the
    melody key, every held pitch class once. */
enum class Type
{
    close, // every chord entry's pitch class, in the octave just below the lowest melody key less a tone
    duet, // the first chord tone below
    trio, // the first two below
    open, // the second and third below, and the first an octave lower (drop-2)
    block, // the first three below that lie above the melody an octave down, and that octave
    duetAbove, // the first chord tone above the highest melody key
    octave // the melody an octave down, with or without a chord
};

/** The type a stored value stands for: a foreign one plays as Close. */
constexpr Type typeOf (int32_t value) noexcept { return value >= 0 && value <= (int32_t) Type::octave ? (Type) value : Type::close; }

/** The voices of `chord` under `melody` for this type, ascending, each note
    once (Close keeps one per chord entry), into `voices` (emptied first);
    and the velocity they are struck with, the reference key's. No voices
    without a melody key, nor, but for Octave, without two chord entries. */
uint8_t voice (Type type, const NoteList& chord, const MelodyKeys& melody, const Settings::Values& settings, NoteList& voices) noexcept;
} // namespace Harmony
