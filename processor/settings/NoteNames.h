#pragma once

#include <cctype>
#include <optional>
#include <string>

/** Note names as most keyboard players' DAWs write them (Cubase, Live,
    Logic, Studio One, Bitwig): middle C, note 60, is C3, so note 0 is C-2.
    Every name Polyquinta shows or reads follows this. Plain code, any thread. */
namespace NoteNames
{
inline constexpr int octaveForMiddleC = 3;

/** The name of note 0 to 127: "C3", "F#4", "C-2"; sharps, never flats. */
inline std::string name (int note)
{
    static const char* const pitchClasses[] = { "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B" };
    return pitchClasses[note % 12] + std::to_string (note / 12 + octaveForMiddleC - 5);
}

/** The note a name such as "C3", "f#4" or "Bb-1" stands for, if it is one from 0 to 127. */
inline std::optional<int> number (const std::string& text)
{
    static const std::string letters = "C D EF G A B";
    const auto letter = text.empty() ? std::string::npos : letters.find ((char) std::toupper ((unsigned char) text[0]));

    if (letter == std::string::npos || letters[letter] == ' ')
        return std::nullopt;

    size_t i = 1;
    int note = (int) letter;

    if (i < text.size() && (text[i] == '#' || text[i] == 'b'))
        note += text[i++] == '#' ? 1 : -1;

    const auto octave = text.substr (i);
    const bool negative = ! octave.empty() && octave[0] == '-';

    if (octave.size() != (negative ? 2u : 1u) || ! std::isdigit ((unsigned char) octave.back()))
        return std::nullopt;

    note += ((negative ? -1 : 1) * (octave.back() - '0') + 5 - octaveForMiddleC) * 12;
    return note >= 0 && note <= 127 ? std::optional<int> (note) : std::nullopt;
}
} // namespace NoteNames
