#include "NoteLedger.h"

namespace vsthost
{
void NoteLedger::take (const std::vector<ReceivedEvent>& events, int block)
{
    for (auto& e : events)
    {
        if (e.type != kVstMidiType)
            continue;

        const int status = e.midi[0] & 0xf0, channel = e.midi[0] & 0x0f, data1 = e.midi[1] & 0x7f;

        if (status == 0x90 && e.midi[2] > 0)
        {
            auto& note = notes[(size_t) (channel * 128 + data1)];
            if (note.count++ == 0)
                note.firstBlock = block;
        }
        else if (status == 0x80 || status == 0x90)
        {
            noteOff (channel, data1, block);
        }
        else if (status == 0xb0 && (e.midi[1] == 120 || e.midi[1] == 123))
        {
            panic (channel);
        }
        else if (status == 0xb0 && (data1 == 64 || data1 == 66 || data1 == 67))
        {
            // A pedal is a level, not a count: any release lifts it.
            auto& since = pedalDownSince[(size_t) (channel * 128 + data1)];
            since = e.midi[2] < 64 ? 0 : (since > 0 ? since : block + 1);
        }
    }
}

void NoteLedger::noteOff (int channel, int key, int block)
{
    auto& note = notes[(size_t) (channel * 128 + key)];

    if (note.count > 0)
        --note.count;
    else if (note.releasesAfterPanic > 0)
        --note.releasesAfterPanic;
    else
        strayNoteOffs.push_back ("ch " + std::to_string (channel + 1) + " key " + std::to_string (key) + " in block "
                                 + std::to_string (block));
}

void NoteLedger::panic (int channel)
{
    for (int key = 0; key < 128; ++key)
    {
        auto& note = notes[(size_t) (channel * 128 + key)];
        note.releasesAfterPanic += note.count;
        note.count = 0;
    }
}

std::vector<std::string> NoteLedger::stillSounding() const
{
    std::vector<std::string> result;

    for (size_t i = 0; i < notes.size(); ++i)
        if (notes[i].count > 0)
            result.push_back ("ch " + std::to_string (i / 128 + 1) + " key " + std::to_string (i % 128) + " from block "
                              + std::to_string (notes[i].firstBlock));

    for (size_t i = 0; i < pedalDownSince.size(); ++i)
        if (pedalDownSince[i] > 0)
            result.push_back ("ch " + std::to_string (i / 128 + 1) + " pedal " + std::to_string (i % 128) + " from block "
                              + std::to_string (pedalDownSince[i] - 1));

    return result;
}

int NoteLedger::numSounding() const
{
    int n = 0;
    for (auto& note : notes)
        n += note.count > 0 ? 1 : 0;
    return n;
}
} // namespace vsthost
