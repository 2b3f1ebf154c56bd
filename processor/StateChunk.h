#pragma once

#include "Settings.h"

#include <juce_core/juce_core.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>

/** The saved-state chunk: its magic ("VC2!", POLYQUINTA_CHUNK_MAGIC), the text length (little-endian), the settings
    as one single-line XML element, and a zero byte. Needs nothing beyond
    juce_core, so that the reader can be fuzzed on its own. Any thread; allocates. */
namespace StateChunk
{
/** Where a reader hands each setting it reads. */
using Store = std::function<void (Settings::Key, int32_t)>;

/** The settings text a chunk carries: the XML element alone. */
std::string text (const Settings::Values& values);

/** Replaces the whole content of dest with the chunk for these values. */
void write (const Settings::Values& values, juce::MemoryBlock& dest);

/** Reads a chunk. For every child whose tag is one of the keys (ASCII case
    ignored), calls store (Settings::Key, value) in document order. Calls nothing
    at all, and answers false, when the chunk is not accepted or its text does not parse. */
bool read (const void* data, int sizeInBytes, const Store& store);

/** Reads a settings text (up to `length` bytes or a zero byte) as read() reads a chunk's. */
bool readText (const char* text, size_t length, const Store& store);

} // namespace StateChunk
