#pragma once

#include <juce_core/juce_core.h>

// Text for the host's buffers. Any thread; allocates nothing beyond a
// temporary string.

namespace VstText
{
/** Writes text into a host's buffer of bufferSize bytes: UTF-8, at most
    bufferSize - 1 bytes of it, never cut inside a character, zero-terminated. */
void copy (const juce::String& text, char* destination, int bufferSize);
} // namespace VstText
