#pragma once

// The events that could not go to the host in their own block, waiting, in
// order, for the next ones: a queue with room for a fixed number of events
// and of system-exclusive bytes, reserved once. Adding, looking at the first
// and taking it cost constant time, however many wait.
// One thread (the audio thread) after construction; never allocates.

#include <juce_core/juce_core.h>

#include <cstring>

class WaitingEvents
{
public:
    WaitingEvents (int maxEvents, int maxLongBytes) : eventCapacity (maxEvents), byteCapacity (maxLongBytes)
    {
        events.calloc ((size_t) maxEvents);
        longBytes.calloc ((size_t) maxLongBytes);
    }

    struct Message
    {
        const juce::uint8* data;
        int size;
    };

    /** Whether a message of `size` bytes fits, with room left after it for `releases` three-byte messages. */
    bool fits (int size, int releases) const noexcept
    {
        return numEvents + 1 + releases <= eventCapacity && (size <= shortSize || longPlace (size) >= 0);
    }

    /** Appends a message; false (and nothing added) when it does not fit. */
    bool push (const juce::uint8* data, int size) noexcept
    {
        if (size <= 0 || ! fits (size, 0))
            return false;

        auto& e = events[(size_t) ((first + numEvents) % eventCapacity)];
        e.size = size;

        if (size <= shortSize)
        {
            std::memcpy (e.bytes, data, (size_t) size);
        }
        else
        {
            e.offset = longPlace (size);

            if (numLong > 0 && e.offset == 0)
                wrapEnd = longEnd, wrapped = true;

            std::memcpy (longBytes + e.offset, data, (size_t) size);
            longEnd = e.offset + size;
            ++numLong;
        }

        ++numEvents;
        return true;
    }

    bool isEmpty() const noexcept { return numEvents == 0; }
    int size() const noexcept { return numEvents; }

    /** The first message; only while not empty. */
    Message front() const noexcept
    {
        const auto& e = events[(size_t) first];
        return { e.size <= shortSize ? e.bytes : longBytes + e.offset, e.size };
    }

    /** Takes the first message away; only while not empty. */
    void pop() noexcept
    {
        const auto& e = events[(size_t) first];

        if (e.size > shortSize)
        {
            longStart = e.offset + e.size;

            if (wrapped && longStart >= wrapEnd)
                longStart = 0, wrapped = false;

            if (--numLong == 0)
                longStart = longEnd = 0, wrapped = false;
        }

        first = (first + 1) % eventCapacity;
        --numEvents;
    }

private:
    static constexpr int shortSize = 4;

    struct Entry
    {
        int size = 0;
        int offset = 0; // of a long message, in longBytes
        juce::uint8 bytes[shortSize] {};
    };

    /** Where a long message of this size would go, or -1. The long messages
        lie in order in [longStart, longEnd), or, once they have wrapped
        around, in [longStart, wrapEnd) and then [0, longEnd). */
    int longPlace (int size) const noexcept
    {
        if (numLong == 0)
            return size <= byteCapacity ? 0 : -1;

        if (wrapped)
            return longStart - longEnd >= size ? longEnd : -1;

        if (byteCapacity - longEnd >= size)
            return longEnd;

        return longStart >= size ? 0 : -1;
    }

    const int eventCapacity, byteCapacity;
    juce::HeapBlock<Entry> events;
    juce::HeapBlock<juce::uint8> longBytes;
    int first = 0, numEvents = 0;
    int numLong = 0, longStart = 0, longEnd = 0, wrapEnd = 0;
    bool wrapped = false;
};
