// The held keys' bookkeeping: the chord area's entries, the melody keys with
// their first velocities, and every strike's route, so that each release ends
// what its own note-on started. Audio thread only; nothing here waits or allocates.

#include "myAudioProcessor.h"

int myAudioProcessor::countSoloNotes() const
{
    return numSoloKeysDown;
}

void myAudioProcessor::bookChordKey (int n, bool isNoteOn) noexcept
{
    auto& count = chordStrikes[(size_t) n];

    if (isNoteOn && count < maxStrikesPerKey)
    {
        chordNotes.add (n);
        ++count;
    }
    else if (! isNoteOn && count > 0)
    {
        chordNotes.removeFirstMatchingValue (n);
        --count;
    }
}

void myAudioProcessor::bookSoloKey (int n, bool isNoteOn, juce::uint8 velocity) noexcept
{
    auto& list = soloNotes[n];
    auto& word = soloKeysDown[(size_t) n / 64];
    const auto bit = (juce::uint64) 1 << (n % 64);

    if (! isNoteOn && ! list.isEmpty())
    {
        list.clearQuick();
        word &= ~bit;
        --numSoloKeysDown;
    }
    else if (isNoteOn && list.size() < maxStrikesPerKey)
    {
        if (list.isEmpty())
        {
            word |= bit;
            ++numSoloKeysDown;
        }

        list.add ({ velocity });
    }
}

void myAudioProcessor::forgetHeldKeys() noexcept
{
    chordNotes.clearQuick();
    chordStrikes.fill (0);

    for (int n = 0; n < 128; ++n)
        soloNotes[n].clearQuick();

    soloKeysDown.fill (0);
    numSoloKeysDown = 0;
    chordMemory.clearQuick();
}

myAudioProcessor::Strike& myAudioProcessor::strikeReleasedBy (const juce::MidiMessage& m, int n)
{
    auto& own = strikes[(size_t) m.getChannel() - 1][(size_t) n];

    // A source that releases a key on another channel than it struck it on
    // still ends the note.
    if (own.count == 0 && keyRoutes[(size_t) n].strikes > 0)
        for (auto& channel : strikes)
            if (channel[(size_t) n].count > 0)
                return channel[(size_t) n];

    return own;
}

void myAudioProcessor::noteStruck (const juce::MidiMessage& m, int n, Area area, int channel)
{
    auto& route = keyRoutes[(size_t) n];
    auto& strike = strikes[(size_t) m.getChannel() - 1][(size_t) n];

    if (route.strikes == 0)
        route = { area, (int8_t) channel, 0 };

    if (strike.count == 0 || channel != 0)
        strike.channel = (int8_t) channel;

    strike.count = (int16_t) juce::jmin (strike.count + 1, 0x7fff);
    route.strikes = (int16_t) juce::jmin (route.strikes + 1, 0x7fff);
}

void myAudioProcessor::noteReleased (Strike& strike, int n)
{
    auto& route = keyRoutes[(size_t) n];

    if (strike.count == 0)
        return;

    --strike.count;

    if (--route.strikes <= 0)
        route = {};
}
