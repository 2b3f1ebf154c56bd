#include "Voicing.h"

#include <array>

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
} // namespace

uint8_t voice (Type type, const NoteList& chord, const MelodyKeys& melody, const Settings::Values&, NoteList& voices) noexcept
{
    voices.clearQuick();

    if (chord.size() < 2 || melody.isEmpty())
        return 0;

    const auto& reference = *melody.begin();

    switch (type)
    {
        case Type::close:
            close (chord, reference.note, voices);
            break;
    }

    return reference.velocity;
}
} // namespace Harmony
