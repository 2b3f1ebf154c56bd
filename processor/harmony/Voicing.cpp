#include "Voicing.h"

#include <algorithm>
#include <array>
#include <initializer_list>

namespace Harmony
{
namespace
{
// The octave below the reference, two semitones under the lowest melody key:
// chord pitch classes above its pitch class an octave down, the rest up to it.
void close (const NoteList& chord, int lowestMelodyKey, NoteList& voices) noexcept
{
    const int r = lowestMelodyKey - 2;
    const int base = 12 * (r / 12);
    const int rp = r - base;

    // Every chord entry gives the voice of its pitch class, so the voices
    // come out ascending without sorting, in time linear in the chord.
    std::array<int, 12> entries {};
    for (auto c : chord)
        ++entries[(size_t) (c % 12)];

    const auto addVoices = [&] (int from, int to, int octaveBase) {
        for (int p = from < 0 ? 0 : from; p <= to; ++p)
            for (int n = 0; n < entries[(size_t) p]; ++n)
                if (octaveBase + p >= 0) // below the lowest note there is nothing to sound
                    voices.add (octaveBase + p);
    };
    addVoices (rp + 1, 11, base - 12);
    addVoices (0, rp, base);
}
/** The held pitch classes, each once, and the chord tones counted from a melody key. */
struct ChordTones
{
    explicit ChordTones (const NoteList& chord) noexcept
    {
        for (auto c : chord)
            held[(size_t) (c % 12)] = true;
    }

    /** The k-th highest chord tone at or below m - 2 (k from 1), or -1. */
    int below (int m, int k) const noexcept
    {
        for (int n = m - 2; n >= 0; --n)
            if (held[(size_t) (n % 12)] && --k == 0)
                return n;
        return -1;
    }

    /** The lowest chord tone at or above m + 2, or 128. */
    int above (int m) const noexcept
    {
        for (int n = std::max (0, m + 2); n <= 127; ++n)
            if (held[(size_t) (n % 12)])
                return n;
        return 128;
    }

    std::array<bool, 12> held {};
};

/** Adds these notes ascending, each once, leaving out any outside 0 to 127. */
void addSorted (std::initializer_list<int> notes, NoteList& voices) noexcept
{
    std::array<bool, 128> sounding {};
    for (auto n : notes)
        if (n >= 0 && n <= 127)
            sounding[(size_t) n] = true;

    for (int n = 0; n < 128; ++n)
        if (sounding[(size_t) n])
            voices.add (n);
}
} // namespace

uint8_t voice (Type type, const NoteList& chord, const MelodyKeys& melody, const Settings::Values&, NoteList& voices) noexcept
{
    voices.clearQuick();

    if (melody.isEmpty() || (chord.size() < 2 && type != Type::octave))
        return 0;

    const auto& reference = type == Type::duetAbove ? *(melody.end() - 1) : *melody.begin();
    const int m = reference.note;
    const ChordTones tones (chord);

    switch (type)
    {
        case Type::close: close (chord, m, voices); break;
        case Type::duet: addSorted ({ tones.below (m, 1) }, voices); break;
        case Type::trio: addSorted ({ tones.below (m, 1), tones.below (m, 2) }, voices); break;
        case Type::open: addSorted ({ tones.below (m, 2), tones.below (m, 3), tones.below (m, 1) - 12 }, voices); break;
        case Type::block:
        {
            const auto aboveOctave = [&] (int n) { return n > m - 12 ? n : -1; };
            addSorted ({ aboveOctave (tones.below (m, 1)), aboveOctave (tones.below (m, 2)), aboveOctave (tones.below (m, 3)), m - 12 }, voices);
            break;
        }
        case Type::duetAbove: addSorted ({ tones.above (m) }, voices); break;
        case Type::octave: addSorted ({ m - 12 }, voices); break;
    }

    return reference.velocity;
}
} // namespace Harmony
