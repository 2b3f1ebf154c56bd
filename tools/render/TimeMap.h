#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <algorithm>
#include <vector>

namespace render
{
/** Ticks to seconds and back, through the file's tempo map. */
class TimeMap
{
public:
    explicit TimeMap (const juce::MidiFile& file)
    {
        const auto format = file.getTimeFormat();

        if (format < 0)
        {
            // SMPTE: frames per second times ticks per frame.
            const double fps = -(format >> 8) == 29 ? 29.97 : (double) -(format >> 8);
            secondsPerTickFixed = 1.0 / (fps * (format & 0xff));
            return;
        }

        ticksPerQuarter = format > 0 ? format : 96;
        juce::MidiMessageSequence tempos;
        file.findAllTempoEvents (tempos);
        tempos.sort();

        segments.push_back ({ 0.0, 0.0, 0.5 / ticksPerQuarter });

        for (auto* e : tempos)
        {
            const double tick = e->message.getTimeStamp();
            const double secondsPerQuarter = e->message.getTempoSecondsPerQuarterNote();

            if (secondsPerQuarter <= 0)
                continue;

            const auto& last = segments.back();
            const double seconds = last.seconds + (tick - last.tick) * last.secondsPerTick;

            if (tick == last.tick)
                segments.back().secondsPerTick = secondsPerQuarter / ticksPerQuarter;
            else
                segments.push_back ({ tick, seconds, secondsPerQuarter / ticksPerQuarter });
        }
    }

    double toSeconds (double tick) const
    {
        if (segments.empty())
            return tick * secondsPerTickFixed;

        auto it = std::upper_bound (segments.begin(), segments.end(), tick, [] (double t, const Segment& s) { return t < s.tick; });
        const auto& s = *std::prev (it);
        return s.seconds + (tick - s.tick) * s.secondsPerTick;
    }

    double toTick (double seconds) const
    {
        if (segments.empty())
            return seconds / secondsPerTickFixed;

        auto it = std::upper_bound (segments.begin(), segments.end(), seconds, [] (double t, const Segment& s) { return t < s.seconds; });
        const auto& s = *std::prev (it);
        return s.tick + (seconds - s.seconds) / s.secondsPerTick;
    }

    int getTicksPerQuarter() const { return ticksPerQuarter; }

private:
    struct Segment
    {
        double tick, seconds, secondsPerTick;
    };
    std::vector<Segment> segments;
    double secondsPerTickFixed = 0;
    int ticksPerQuarter = 0;
};
} // namespace render
