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
    count
};

struct Setting
{
    const char* key;
    int32_t defaultValue;
};

inline constexpr std::array<Setting, count> table { {
    { "chordThru", 1 },
    { "chanOutChord", 1 },
    { "chanOutSolo", 2 },
    { "splitPoint", 48 },
    { "harmonyEnabled", 1 },
    { "ccHarmonyCtl", 32 },
    { "maxSoloVoices", 10 },
} };

/** One value per setting, in chunk order. */
using Values = std::array<int32_t, count>;

constexpr int32_t defaultOf (Key k) { return table[(std::size_t) k].defaultValue; }

constexpr Values defaults()
{
    Values v {};
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = table[i].defaultValue;
    return v;
}
} // namespace Settings
