// The block function: each event routed by the split, re-channelled, learned
// from or passed on. Audio thread only; nothing here waits or allocates.

#include "myAudioProcessor.h"

namespace
{
constexpr int lowestLearnableNote = 12;

bool isNoteEvent (const juce::uint8* d, int size) noexcept
{
    // Events whose note byte is not a valid note number are passed on as they came.
    return size >= 3 && (d[0] & 0xe0) == 0x80 && d[1] < 128;
}

bool isController (const juce::uint8* d, int size) noexcept
{
    return size >= 3 && (d[0] & 0xf0) == 0xb0;
}
} // namespace

//==============================================================================

void myAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages)
{
    runBlock (buffer, midiMessages, false);
}

void myAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages)
{
    runBlock (buffer, midiMessages, true);
}

void myAudioProcessor::runBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages, bool bypassed)
{
    for (int ch = getTotalNumInputChannels(); ch < getTotalNumOutputChannels(); ++ch)
        if (ch < buffer.getNumChannels())
            buffer.clear (ch, 0, buffer.getNumSamples());

    output.clear();

    // Nothing would end the voices while bypassed: they stop the moment it starts.
    if (bypassed)
        silenceVoices (0);

    for (const auto meta : midiMessages)
    {
        const auto* d = meta.data;
        const int size = meta.numBytes;
        const int t = meta.samplePosition;

        if (isNoteEvent (d, size))
        {
            const juce::MidiMessage m (d, size, t);
            const int n = d[1];
            const bool isNoteOn = (d[0] & 0xf0) == 0x90 && d[2] > 0;

            keyboardState.processNextMidiEvent (m);
            notifyChange();

            if (! bypassed && learnFrom (m, n, isNoteOn))
                continue;

            routeNoteEvent (m, n, isNoteOn, t, bypassed);
        }
        else if (isController (d, size) && (d[1] == allNotesOffController || (d[1] == allSoundOffController && d[1] != ccHarmonyCtl)))
        {
            panic (juce::MidiMessage (d, size, t), t);
        }
        else if (! bypassed && isController (d, size) && d[1] == ccHarmonyCtl)
        {
            harmonyEnabled = d[2] >= 64 ? 1 : 0;
            notifyChange();
            passController (d, size, t, false);
        }
        else if (isController (d, size))
        {
            passController (d, size, t, ! bypassed && pedalsToBoth > 0);
        }
        else
        {
            output.add (d, size, t);
        }
    }

    output.replaceContentOf (midiMessages);
}

bool myAudioProcessor::learnFrom (const juce::MidiMessage& m, int n, bool isNoteOn)
{
    // Taken in one step, so that a "Learn" pressed meanwhile is not lost.
    if (! learnSplitPoint.exchange (false))
        return false;

    if (n >= lowestLearnableNote)
    {
        splitPoint = n;
        notifyChange();
    }
    else
    {
        splitPointRefused = true;
    }

    // The key's note-on was not passed on, so neither is its release; one that
    // the plug-in did pass on still has to end its note, or it would hang.
    if (isNoteOn)
        noteStruck (m, n, areaOf (n), 0);

    return isNoteOn || keyRoutes[(size_t) n].strikes == 0;
}

void myAudioProcessor::routeNoteEvent (const juce::MidiMessage& m, int n, bool isNoteOn, int t, bool bypassed)
{
    auto& route = keyRoutes[(size_t) n];
    const bool isHeld = route.strikes > 0;
    const auto area = isHeld ? route.area : areaOf (n);
    auto& released = strikeReleasedBy (m, n);
    int channel = 0;

    if (isNoteOn)
        channel = isHeld && route.channel != 0 ? route.channel : channelForNewNote (m, area, bypassed);
    else
        channel = released.count > 0 ? released.channel : channelForNewNote (m, area, bypassed);

    // A strike beyond a key's cap changes nothing held, so it needs no update;
    // a chord key changes the voices only under a held melody.
    const bool changesHeldKeys = ! isNoteOn || (area == Area::chord ? chordStrikes[(size_t) n] : soloNotes[n].size()) < maxStrikesPerKey;
    const bool updatesVoices = ! bypassed && changesHeldKeys && (area != Area::chord || countSoloNotes() > 0);

    // Voices that go with their event: the old ones end before it, so that no
    // receiver cuts a voice that is struck again, and the new ones follow it.
    const bool withEvent = voicesWithMelody > 0;

    if (updatesVoices && withEvent)
        endVoices (t);

    if (channel != 0)
    {
        auto copy = m;
        copy.setChannel (channel);
        output.add (copy, t);
    }

    if (isNoteOn)
        noteStruck (m, n, area, channel);
    else
        noteReleased (released, n);

    if (area == Area::chord)
        bookChordKey (n, isNoteOn);
    else
        bookSoloKey (n, isNoteOn, m.getVelocity());

    if (updatesVoices)
        harmonize (withEvent ? t : 0);
}

void myAudioProcessor::passController (const juce::uint8* d, int size, int t, bool toBoth)
{
    const int pedal = d[1] == 64 ? 0 : (d[1] == 66 ? 1 : (d[1] == 67 ? 2 : -1));

    if (pedal < 0)
    {
        output.add (d, size, t);
        return;
    }

    const auto bit = [] (int channel) { return (uint16_t) (1u << (channel - 1)); };
    const bool press = d[2] >= 64;
    const uint16_t own = bit ((d[0] & 0x0f) + 1);
    uint16_t channels = toBoth ? (uint16_t) (bit (limitChannel (chanOutChord)) | bit (limitChannel (chanOutSolo))) : own;

    // A release also reaches every channel a press of this pedal still holds
    // down: spread there, or passed there while it was not to be spread.
    if (! press)
        channels |= spreadPedals[(size_t) pedal] | (pedalsToBoth > 0 ? passedPedals[(size_t) pedal] : 0);

    if (channels == own)
    {
        output.add (d, size, t);
    }
    else
    {
        for (int channel = 1; channel <= 16; ++channel)
        {
            if ((channels & bit (channel)) != 0)
            {
                const juce::uint8 copy[] = { (juce::uint8) ((d[0] & 0xf0) | (channel - 1)), d[1], d[2] };
                output.add (copy, 3, t);
            }
        }
    }

    if (press)
        (toBoth ? spreadPedals : passedPedals)[(size_t) pedal] |= channels;
    else
        spreadPedals[(size_t) pedal] &= (uint16_t) ~channels, passedPedals[(size_t) pedal] &= (uint16_t) ~channels;
}

myAudioProcessor::Area myAudioProcessor::areaOf (int n) const noexcept
{
    return n < splitPoint ? Area::chord : Area::solo;
}

int myAudioProcessor::channelForNewNote (const juce::MidiMessage& m, Area area, bool bypassed) const
{
    // While bypassed, notes go out as they came; their releases follow them there.
    if (bypassed)
        return m.getChannel();

    if (area == Area::chord)
        return chordThru == 1 ? limitChannel (chanOutChord) : 0;

    return limitChannel (chanOutSolo);
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
