#pragma once

// Audio passes through every Polyquinta plug-in untouched. Any thread; never
// allocates.

#include <algorithm>
#include <cstring>

namespace AudioPassThrough
{
/** Copies each input to its output, through a small buffer of our own, a
    stretch at a time: a host may hand the same memory as an input and an
    output of another index, or as two outputs, and every output must still
    end up with its own input. At most two channels. */
inline void copy (const float* const* inputs, float* const* outputs, int numChannels, int numSamples) noexcept
{
    constexpr int stretchLength = 256;
    float stretch[2][stretchLength];
    numChannels = std::min (numChannels, 2);

    for (int start = 0; start < numSamples; start += stretchLength)
    {
        const int n = std::min (stretchLength, numSamples - start);

        for (int i = 0; i < numChannels; ++i)
            std::memcpy (stretch[i], inputs[i] + start, sizeof (float) * (size_t) n);

        for (int i = 0; i < numChannels; ++i)
            std::memcpy (outputs[i] + start, stretch[i], sizeof (float) * (size_t) n);
    }
}
} // namespace AudioPassThrough
