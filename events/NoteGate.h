#pragma once

// What gives way when a stage of the MIDI path (the host's events coming in,
// a block's output, the events waiting for the host) has no room left: new
// notes and pedal presses, together with their later releases; never a
// release whose note-on or press went on. The gate keeps room for the
// release of everything it let on, so that room is always there.
// One thread (the audio thread); never allocates; constant time per event.

#include <juce_core/juce_core.h>

#include <algorithm>
#include <array>
#include <limits>

class NoteGate
{
public:
    /** Whether the event may take its place. `fits (k)` answers whether it
        fits with room still left after it for k more releases (a three-byte
        message each). */
    template <typename Fits>
    bool admit (const juce::uint8* data, int size, Fits&& fits) noexcept
    {
        const auto kind = kindOf (data, size);

        if (kind == Kind::other)
            return fits (held);

        auto& slot = slots[slotOf (data)];
        // A pedal is a level: one press holds it down however often it comes.
        const int most = isPedal (data) ? 1 : std::numeric_limits<int>::max();

        if (kind == Kind::release)
        {
            if (slot.on > 0)
            {
                --slot.on; // the room for it was kept
                --held;
                return true;
            }

            if (slot.dropped > 0)
            {
                --slot.dropped;
                return false;
            }

            return fits (held); // it ends nothing, so it may give way like any event
        }

        if (slot.on >= most)
            return fits (held);

        if (fits (held + 1))
        {
            ++slot.on;
            ++held;
            slot.dropped = isPedal (data) ? 0 : slot.dropped;
            return true;
        }

        slot.dropped = std::min (most, slot.dropped + 1);
        return false;
    }

    /** Releases that the gate keeps room for. */
    int numHeld() const noexcept { return held; }

private:
    enum class Kind
    {
        start,
        release,
        other
    };

    static bool isPedal (const juce::uint8* d) noexcept { return (d[0] & 0xf0) == 0xb0; }

    static Kind kindOf (const juce::uint8* d, int size) noexcept
    {
        if (size < 3 || d[1] >= 128)
            return Kind::other;

        const int status = d[0] & 0xf0;

        if (status == 0x80 || (status == 0x90 && d[2] == 0))
            return Kind::release;

        if (status == 0x90)
            return Kind::start;

        if (status == 0xb0 && (d[1] == 64 || d[1] == 66 || d[1] == 67))
            return d[2] >= 64 ? Kind::start : Kind::release;

        return Kind::other;
    }

    /** Notes by channel and key; then the three pedals by channel. */
    static size_t slotOf (const juce::uint8* d) noexcept
    {
        const size_t channel = d[0] & 0x0f;

        if (! isPedal (d))
            return channel * 128 + d[1];

        return 16 * 128 + channel * 3 + (d[1] == 64 ? 0 : (d[1] == 66 ? 1 : 2));
    }

    struct Slot
    {
        int on = 0; // note-ons let through and not yet ended; a pedal: 1 while down
        int dropped = 0; // note-ons that gave way, whose releases give way too; a pedal: 1
    };

    std::array<Slot, 16 * 128 + 16 * 3> slots {};
    int held = 0;
};
