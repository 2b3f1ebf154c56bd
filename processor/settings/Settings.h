#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

/** The player's settings, declared once: each one's key in the saved state,
    its default, and (by its place here) its order in the chunk. Plain data,
    for any thread. */
namespace Settings
{
enum Key
{
    chordThru,
    chanOutChord,
    chanOutSolo,
    splitPoint,
    harmonyEnabled,
    ccHarmonyCtl,
    maxSoloVoices,
    voicesWithMelody,
    pedalsToBoth,
    count
};

struct Setting
{
    const char* key;
    int32_t defaultValue;
    // A switch added later, off by default: written only while on (above 0),
    // and off again when a chunk without it loads, so that every chunk written
    // before it existed still means, and is, what it was.
    bool onlyWhenOn = false;
};

inline constexpr std::array<Setting, count> table { {
    { "chordThru", 1 },
    { "chanOutChord", 1 },
    { "chanOutSolo", 2 },
    { "splitPoint", 48 },
    { "harmonyEnabled", 1 },
    { "ccHarmonyCtl", 32 },
    { "maxSoloVoices", 10 },
    { "voicesWithMelody", 0, true },
    { "pedalsToBoth", 0, true },
} };

/** One value per setting, in chunk order. */
using Values = std::array<int32_t, count>;

constexpr int32_t defaultOf (Key k) { return table[(std::size_t) k].defaultValue; }

/** Whether the chunk carries this value: an added switch only while it is on. */
constexpr bool isWritten (Key k, int32_t value) { return ! table[(std::size_t) k].onlyWhenOn || value > 0; }

constexpr Values defaults()
{
    Values v {};
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = table[i].defaultValue;
    return v;
}
} // namespace Settings
