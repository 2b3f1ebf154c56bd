#pragma once

#include <juce_core/juce_core.h>

#include <array>
#include <cstdint>
#include <functional>

/** The saved-state chunk: "VC2!", the text length (little-endian), the settings
    as one single-line XML element, and a zero byte. Needs nothing beyond
    juce_core, so that the reader can be fuzzed on its own. */
namespace StateChunk
{
constexpr int numKeys = 7;

/** The child elements, in the order in which they are written. */
extern const std::array<const char*, numKeys> keys;

/** Replaces the whole content of dest with the chunk for these values
    (given in the order of keys). */
void write (const std::array<int32_t, numKeys>& values, juce::MemoryBlock& dest);

/** Reads a chunk. For every child whose tag is one of the keys (ASCII case
    ignored), calls store (keyIndex, value) in document order. Calls nothing
    at all when the chunk is not accepted or its text does not parse. */
void read (const void* data, int sizeInBytes, const std::function<void (int, int32_t)>& store);

} // namespace StateChunk
