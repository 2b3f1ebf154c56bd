#pragma once

// A block's events as a host hands them over, in any order: kept as they come,
// then handed on ordered by position, in time linear in their number (a host
// that hands them over out of order pays for one in-place sort). Storage is
// reserved once, for the most a block may hold; what does not fit is left out
// whole, never cut short, and new notes give way before any release of a
// note that went in (NoteGate). Audio thread only, after construction.

#include "NoteGate.h"
#include "OrderedMidi.h"

#include <algorithm>
#include <cstring>

class EventIntake
{
public:
    EventIntake (int maxEvents, int maxBytes) : capacity (maxEvents), byteCapacity (maxBytes)
    {
        entries.calloc ((size_t) maxEvents);
        bytes.calloc ((size_t) maxBytes);
    }

    /** Keeps the message in `data` (at most `available` bytes); a negative
        position is the block's start. Messages the framework would not store
        are passed over. */
    void add (int position, const juce::uint8* data, int available) noexcept
    {
        const int length = available > 0 ? OrderedMidi::storedLength (data, available) : 0;

        // Counted as the destination stores them, so that all of them fit there.
        constexpr int header = OrderedMidi::headerSize;
        const auto fits = [&] (int releases) {
            return numEntries + 1 + releases <= capacity
                   && bytesUsed + (numEntries + 1) * header + length + releases * (header + 3) <= byteCapacity;
        };

        if (length <= 0 || length > 0xffff || ! gate.admit (data, length, fits))
            return;

        position = juce::jmax (0, position);
        inOrder = inOrder && (numEntries == 0 || position >= entries[numEntries - 1].position);
        std::memcpy (bytes + bytesUsed, data, (size_t) length);
        entries[numEntries++] = { position, bytesUsed, length };
        bytesUsed += length;
    }

    void clear() noexcept
    {
        numEntries = 0;
        bytesUsed = 0;
        inOrder = true;
    }

    /** Appends the events, ordered by position, to `destination` (whose
        reserved storage is `destinationCapacity` bytes), and forgets them.
        Events of equal position keep the order in which they came. */
    void moveTo (juce::MidiBuffer& destination, int destinationCapacity) noexcept
    {
        if (! inOrder)
            std::sort (entries.get(), entries.get() + numEntries, [] (const Entry& a, const Entry& b) {
                return a.position != b.position ? a.position < b.position : a.offset < b.offset;
            });

        for (int i = 0; i < numEntries; ++i)
            OrderedMidi::append (destination, destinationCapacity, bytes + entries[i].offset, entries[i].length, entries[i].position);

        clear();
    }

private:
    struct Entry
    {
        int position, offset, length;
    };

    const int capacity, byteCapacity;
    juce::HeapBlock<Entry> entries;
    juce::HeapBlock<juce::uint8> bytes;
    int numEntries = 0, bytesUsed = 0;
    bool inOrder = true;
    NoteGate gate; // matches releases to note-ons in the order the host hands them over
};
