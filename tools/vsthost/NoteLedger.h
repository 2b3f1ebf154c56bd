#pragma once

// Follows the notes a plug-in sends, block by block, the way a receiver would
// hear them: which (channel, key) notes are still sounding, where each began,
// every note-off for a note that was not sounding, and which pedals (sustain,
// sostenuto, soft) are down on which channel. One thread at a time.

#include "VstHost.h"

#include <array>
#include <string>
#include <vector>

namespace vsthost
{
class NoteLedger
{
public:
    /** Takes one block's output; `block` numbers the block for the reports. */
    void take (const std::vector<ReceivedEvent>& events, int block);

    /** Every note still sounding, as "ch C key K from block B", and every
        pedal still down, as "ch C pedal P from block B". */
    std::vector<std::string> stillSounding() const;

    /** Every note-off that ended nothing, as "ch C key K in block B". */
    const std::vector<std::string>& strays() const noexcept { return strayNoteOffs; }

    int numSounding() const;

private:
    struct Note
    {
        int count = 0; // note-ons not yet ended (a receiver may stack them)
        int firstBlock = -1;
        int releasesAfterPanic = 0; // the player's releases of keys held through a panic
    };

    void noteOff (int channel, int key, int block);
    void panic (int channel);

    std::array<Note, 16 * 128> notes {};
    std::array<int, 16 * 128> pedalDownSince {}; // by channel and controller: the block of the press, plus one; 0 when up
    std::vector<std::string> strayNoteOffs;
};
} // namespace vsthost
