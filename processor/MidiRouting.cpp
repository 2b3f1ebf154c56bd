// The block function and the harmony update: everything here runs on the
// host's audio thread and must neither wait nor allocate in the steady state.

#include "myAudioProcessor.h"

namespace
{
constexpr int allNotesOffController = 123;
constexpr int allSoundOffController = 120;
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

int myAudioProcessor::limitChannel (int channel) noexcept
{
    // Only a foreign saved state can bring other values; the setting itself stays as stored.
    return juce::jlimit (1, 16, channel);
}

int myAudioProcessor::countSoloNotes() const
{
    return numSoloKeysDown;
}

//==============================================================================
myAudioProcessor::BlockOutput::BlockOutput()
{
    atStart.ensureSize ((size_t) outputCapacityBytes);
    later.ensureSize ((size_t) outputCapacityBytes);
}

void myAudioProcessor::BlockOutput::clear() noexcept
{
    atStart.clear();
    later.clear();
    numEvents = 0;
}

void myAudioProcessor::BlockOutput::add (const juce::uint8* data, int size, int position) noexcept
{
    // Past the block's capacity events are left out rather than allocated for.
    const int room = outputCapacityBytes - atStart.data.size() - later.data.size();

    if (numEvents >= maxEventsPerBlock)
        return;

    auto& list = position <= 0 ? atStart : later;

    if (OrderedMidi::append (list, list.data.size() + room, data, size, position))
        ++numEvents;
}

void myAudioProcessor::BlockOutput::replaceContentOf (juce::MidiBuffer& destination) const
{
    // Copied rather than swapped, so that both sides keep their storage.
    destination.data.clearQuick();
    destination.data.addArray (atStart.data);
    destination.data.addArray (later.data);
}

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
            output.add (d, size, t);
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
    const auto area = isHeld ? route.area : (areaOf (n));
    auto& released = strikeReleasedBy (m, n);
    int channel = 0;

    if (isNoteOn)
        channel = isHeld && route.channel != 0 ? route.channel : channelForNewNote (m, area, bypassed);
    else
        channel = released.count > 0 ? released.channel : channelForNewNote (m, area, bypassed);

    if (channel != 0)
    {
        auto copy = m;
        copy.setChannel (channel);
        output.add (copy, t);
    }

    // A strike beyond a key's cap changes nothing held, so it needs no update.
    const bool changesHeldKeys = ! isNoteOn || (area == Area::chord ? chordStrikes[(size_t) n] : soloNotes[n].size()) < maxStrikesPerKey;

    if (isNoteOn)
        noteStruck (m, n, area, channel);
    else
        noteReleased (released, n);

    if (area == Area::chord)
    {
        bookChordKey (n, isNoteOn);

        if (! bypassed && changesHeldKeys && countSoloNotes() > 0)
            harmonize();
    }
    else
    {
        bookSoloKey (n, isNoteOn, m.getVelocity());

        if (! bypassed && changesHeldKeys)
            harmonize();
    }
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

        list.add ({ n, velocity });
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
}

void myAudioProcessor::panic (const juce::MidiMessage& m, int t)
{
    // Every output channel on which the plug-in has notes sounding hears the
    // panic too, not only the channel it came in on.
    std::array<bool, 17> sounding {};

    for (auto& channel : strikes)
        for (auto& strike : channel)
            if (strike.count > 0)
                sounding[(size_t) strike.channel] = true;

    if (firstSoundingVoice < harmonyNotes.size())
        sounding[(size_t) harmonyChannel] = true;

    sounding[(size_t) m.getChannel()] = false;

    silenceVoices (t);
    output.add (m, t);

    for (int channel = 1; channel <= 16; ++channel)
    {
        if (sounding[(size_t) channel])
        {
            auto copy = m;
            copy.setChannel (channel);
            output.add (copy, t);
        }
    }

    // All Notes Off also forgets every held key; their routes stay, so that
    // the releases still go out where the notes did.
    if (m.getControllerNumber() == allNotesOffController)
        forgetHeldKeys();
}

void myAudioProcessor::silenceVoices (int t)
{
    // Only the voices that were turned on: the others never sounded.
    for (int i = firstSoundingVoice; i < harmonyNotes.size(); ++i)
    {
        const auto off = juce::MidiMessage::noteOff (harmonyChannel, harmonyNotes.getUnchecked (i), (juce::uint8) 0);
        output.add (off, t);
        keyboardState.processNextMidiEvent (off);
    }

    harmonyNotes.clearQuick();
    firstSoundingVoice = 0;
}

void myAudioProcessor::harmonize()
{
    if (firstSoundingVoice < harmonyNotes.size())
        notifyChange();

    silenceVoices (0);

    if (chordNotes.size() < 2 || harmonyEnabled <= 0 || numSoloKeysDown == 0)
        return;

    // The reference is the lowest held solo key.
    const int reference = soloKeysDown[0] != 0 ? __builtin_ctzll (soloKeysDown[0])
                                               : 64 + __builtin_ctzll (soloKeysDown[1]);
    const auto velocity = soloNotes[reference].getFirst().velocity;
    const int r = reference - 2;
    const int base = 12 * (r / 12);
    const int rp = r - base;

    for (auto c : chordNotes)
    {
        const int p = c % 12;
        const int voice = p <= rp ? base + p : base + p - 12;

        // Below the lowest note there is nothing to sound.
        if (voice >= 0)
            harmonyNotes.add (voice);
    }

    harmonyNotes.sort();
    harmonyChannel = limitChannel (chanOutSolo);

    // The cap drops the lowest voices; wide arithmetic because a foreign saved
    // state can bring any maxSoloVoices.
    const auto excess = (int64_t) countSoloNotes() + harmonyNotes.size() - (int64_t) maxSoloVoices;
    firstSoundingVoice = (int) juce::jlimit ((int64_t) 0, (int64_t) harmonyNotes.size(), excess);

    for (int i = firstSoundingVoice; i < harmonyNotes.size(); ++i)
    {
        const auto on = juce::MidiMessage::noteOn (harmonyChannel, harmonyNotes.getUnchecked (i), velocity);
        output.add (on, 0);
        keyboardState.processNextMidiEvent (on);
        notifyChange();
    }
}
