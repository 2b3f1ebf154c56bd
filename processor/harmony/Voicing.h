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

enum class Type
{
    close // every chord note's pitch class once per entry, in the octave just below the melody's lowest key less a tone
};

/** The voices of `chord` under `melody` for this type, ascending, into
    `voices` (emptied first); and the velocity they are struck with. No
    voices without two chord entries and a melody key. */
uint8_t voice (Type type, const NoteList& chord, const MelodyKeys& melody, const Settings::Values& settings, NoteList& voices) noexcept;
} // namespace Harmony
