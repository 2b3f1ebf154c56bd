#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

/** The player's settings, declared once. Each row says everything the rest of
    the code needs: the key in the saved state (and, by the row's place, the
    order in the chunk), the default, what the editor and the command line
    offer, their texts, and whether the setting came after the first release.
    The saved state, the processor's store, the editor's generated controls,
    the render tool's options and its manual page, and the tests' random
    settings all work from this table. Plain data, for any thread. */
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
    harmonyType,
    voiceLevel,
    voiceChannel,
    touchLimit,
    holdVoices,
    chordMemory,
    count
};

enum class Kind
{
    toggle, // on (1) or off (0)
    channel, // a MIDI channel
    number,
    note, // a note number, also read by name on the command line
    choice // one of the row's item names, from `lowest` on
};

struct Setting
{
    const char* key;
    int32_t defaultValue;
    Kind kind;
    int32_t lowest, highest; // as the editor and the command line offer it
    const char* label; // the editor's caption; none: the editor shows it otherwise, or not at all
    const char* tooltip;
    const char* flag; // the render tool's option
    const char* help; // its help text; a number's range is added to it
    // After the first release: written only when it says something a chunk
    // without it does not (see isWritten), so that every chunk written before
    // it still loads, and is written, exactly as before.
    bool added = false;
    const char* const* items = nullptr; // a choice's names, for lowest to highest
};

/** The harmony types, as the editor names them, by their value. */
inline constexpr const char* harmonyTypeNames[] = { "Close", "Duet", "Trio", "Open", "Block", "Duet above", "Octave" };

/** The voices' channel, by its value: 0 is the solo channel's. */
inline constexpr const char* voiceChannelNames[] = { "Solo", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16" };

inline constexpr std::array<Setting, count> table { {
    { "chordThru", 1, Kind::toggle, 0, 1, nullptr, nullptr,
      "--chord-thru", "pass the chord notes on" },
    { "chanOutChord", 1, Kind::channel, 1, 16, "MIDI channel out chord", "MIDI channel for chord notes",
      "--chord-channel", "MIDI channel of the chord notes" },
    { "chanOutSolo", 2, Kind::channel, 1, 16, "MIDI channel out solo", "MIDI channel for solo notes",
      "--solo-channel", "MIDI channel of the melody and the harmony voices" },
    { "splitPoint", 48, Kind::note, 0, 127, "Splitpoint", "SPlitpoint between chord and solo area",
      "--split", "split point: a number or a name such as C2 (middle C, 60, is C3)" },
    { "harmonyEnabled", 1, Kind::toggle, 0, 1, nullptr, nullptr,
      "--harmony", "build harmony voices" },
    { "ccHarmonyCtl", 32, Kind::number, 1, 127, "CC Harmony on/off",
      "Controller that switches the harmony voices: value 64 or more turns them on, 63 or less off",
      "--harmony-cc", "controller that switches harmony on and off" },
    { "maxSoloVoices", 10, Kind::number, 1, 10, "Max. Solo voices",
      "Most notes in the solo area at once: held melody keys plus harmony voices; the lowest voices are left out first",
      "--max-voices", "most melody keys plus voices at once" },
    { "voicesWithMelody", 0, Kind::toggle, 0, 1, "Voices with melody note",
      "The harmony voices start and end with the note that calls for them, not at the start of the host's block",
      "--voices-with-melody", "voices at their melody note's time, not the block's start", true },
    { "pedalsToBoth", 0, Kind::toggle, 0, 1, "Pedals on both sounds",
      "Sustain, sostenuto and soft pedal go out on the chord and the solo channel",
      "--pedals-to-both", "sustain, sostenuto and soft pedal to the chord and the solo channel", true },
    { "harmonyType", 0, Kind::choice, 0, 6, "Harmony type",
      "Close: every chord note under the melody; Duet: one voice; Trio: two; Open: spread over an octave more; "
      "Block: three and the melody an octave down; Duet above: one voice over the top note; Octave: the melody an octave down",
      "--harmony-type", "the harmony voices' type", true, harmonyTypeNames },
    { "voiceLevel", 100, Kind::number, 10, 200, "Voice level", "The voices' velocity, in per cent of the melody key's",
      "--voice-level", "the voices' velocity in per cent of the melody key's", true },
    { "voiceChannel", 0, Kind::choice, 0, 16, "Voice channel", "The MIDI channel of the voices; Solo: the melody's channel",
      "--voice-channel", "MIDI channel of the voices (solo: the melody's)", true, voiceChannelNames },
    { "touchLimit", 0, Kind::number, 0, 127, "Touch limit", "Harmony only under a melody key struck at least this hard; 0: always",
      "--touch-limit", "harmony only under melody keys struck at least this hard (0: always)", true },
    { "holdVoices", 0, Kind::toggle, 0, 1, "Hold unchanged voices",
      "A voice that the next voicing keeps sounds on, instead of being struck again",
      "--hold-voices", "voices the next voicing keeps sound on, not struck again", true },
    { "chordMemory", 0, Kind::toggle, 0, 1, "Chord memory",
      "The harmony keeps the last chord of two or more notes after the left hand lets go",
      "--chord-memory", "the harmony keeps the last chord after the left hand lets go", true },
} };

/** One value per setting, in chunk order. */
using Values = std::array<int32_t, count>;

constexpr const Setting& of (Key k) { return table[(std::size_t) k]; }
constexpr int32_t defaultOf (Key k) { return of (k).defaultValue; }

/** Whether the chunk carries this value. The first settings always; an added
    switch only while it is on (above 0); any other added setting only when it
    differs from its default. */
constexpr bool isWritten (Key k, int32_t value)
{
    const auto& s = of (k);
    return ! s.added || (s.kind == Kind::toggle ? value > 0 : value != s.defaultValue);
}

// A chunk that leaves an added switch out means it off: one that is on by
// default could not be saved off.
constexpr bool addedSwitchesAreOffByDefault()
{
    for (const auto& s : table)
        if (s.added && s.kind == Kind::toggle && s.defaultValue != 0)
            return false;
    return true;
}
static_assert (addedSwitchesAreOffByDefault());

// Added settings come after every first one, so that the old keys keep their places.
constexpr bool addedSettingsComeLast()
{
    bool seenAdded = false;
    for (const auto& s : table)
    {
        if (seenAdded && ! s.added)
            return false;
        seenAdded = seenAdded || s.added;
    }
    return true;
}
static_assert (addedSettingsComeLast());

constexpr Values defaults()
{
    Values v {};
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = table[i].defaultValue;
    return v;
}

/** The name the editor and the command line give a value of this setting:
    a choice's item name, or the number. */
inline std::string valueName (Key k, int32_t value)
{
    const auto& s = of (k);
    if (s.items != nullptr && value >= s.lowest && value <= s.highest)
        return s.items[value - s.lowest];
    return std::to_string (value);
}
} // namespace Settings
