#pragma once

// Filling the framework's MidiBuffer in constant time per event. Its addEvent
// walks the buffer from the start to find the insertion point and then moves
// everything behind it; events that come in order of position can instead go
// straight to the end, stored exactly as addEvent would store them.
// Any thread; never allocates: a buffer's reserved storage is its capacity.

#include <juce_audio_basics/juce_audio_basics.h>

namespace OrderedMidi
{
/** What the framework stores before each message: its position and length. */
inline constexpr int headerSize = (int) (sizeof (juce::int32) + sizeof (juce::uint16));

/** The number of bytes the framework keeps of a message given with maxBytes. */
inline int storedLength (const juce::uint8* data, int maxBytes) noexcept
{
    if (maxBytes <= 0)
        return 0;

    const auto first = (unsigned int) *data;

    if (first == 0xf0 || first == 0xf7)
    {
        int i = 1;
        while (i < maxBytes)
            if (data[i++] == 0xf7)
                break;
        return i;
    }

    if (first == 0xff)
    {
        if (maxBytes == 1)
            return 1;

        const auto var = juce::MidiMessage::readVariableLengthValue (data + 1, maxBytes - 1);
        return juce::jmin (maxBytes, var.value + 2 + var.bytesUsed);
    }

    if (first >= 0x80)
        return juce::jmin (maxBytes, juce::MidiMessage::getMessageLengthFromFirstByte ((juce::uint8) first));

    return 0;
}

/** Appends an event at the end of the buffer; the caller keeps positions in
    order. False when it would take the buffer past `capacity` bytes, the
    storage reserved for it (nothing is added then), or is too long for the
    framework's format. */
inline bool append (juce::MidiBuffer& buffer, int capacity, const juce::uint8* data, int maxBytes, int position) noexcept
{
    const int length = storedLength (data, maxBytes);

    if (length <= 0)
        return true;

    if (length > 0xffff || buffer.data.size() + headerSize + length > capacity)
        return false;

    juce::uint8 header[headerSize];
    juce::writeUnaligned<juce::int32> (header, position);
    juce::writeUnaligned<juce::uint16> (header + sizeof (juce::int32), (juce::uint16) length);
    buffer.data.addArray (static_cast<const juce::uint8*> (header), headerSize);
    buffer.data.addArray (data, length);
    return true;
}
} // namespace OrderedMidi
