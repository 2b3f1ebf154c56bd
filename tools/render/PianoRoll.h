#pragma once

// The render tool's picture of a render. One thread; allocates.

#include "Render.h"

#include <juce_graphics/juce_graphics.h>

namespace render
{
/** Input and output as a piano roll: chord notes, melody and harmony voices
    in colours of their own, the split point as a line, bar lines, a legend. */
juce::Image drawPianoRoll (const Result& result, int splitPoint, int ticksPerQuarter);

/** Bar and beat of a tick ("3:2.50" is bar 3, halfway through beat 2), from
    the file's time signatures; seconds for files timed in SMPTE frames. */
class BarsAndBeats
{
public:
    BarsAndBeats (const juce::MidiFile& file, int ticksPerQuarter);

    std::string describe (double tick) const;

    /** Ticks at which bars start, up to the given tick. */
    std::vector<double> barStarts (double untilTick) const;

private:
    struct Signature
    {
        double tick;
        int numerator, denominator;
        double firstBar;
    };

    std::vector<Signature> signatures;
    int ticksPerQuarter;
};
} // namespace render
