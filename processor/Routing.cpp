// The block function: the settings taken once, then each event routed by the
// split, re-channelled, learned from or passed on. Audio thread only; nothing
// here waits or allocates.

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
    playing = currentSettings();

    if (stateLoaded.exchange (false))
        voiceWhole = true;

    // Switched off, the chord memory forgets; switched on, it starts empty.
    if (playing[Settings::chordMemory] <= 0)
        chordMemory.clearQuick();

    // Nothing would end the voices while bypassed: they stop the moment it starts.
    if (bypassed)
        endVoices (0, false);

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
        else if (isController (d, size) && (d[1] == allNotesOffController || (d[1] == allSoundOffController && d[1] != playing[Settings::ccHarmonyCtl])))
        {
            panic (juce::MidiMessage (d, size, t), t);
        }
        else if (! bypassed && isController (d, size) && d[1] == playing[Settings::ccHarmonyCtl])
        {
            switchHarmony (d, size, t);
        }
        else if (isController (d, size))
        {
            passController (d, size, t, ! bypassed && playing[Settings::pedalsToBoth] > 0);
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
        setFromBlock (Settings::splitPoint, n);
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

    if (isNoteOn)
        noteStruck (m, n, area, channel);
    else
        noteReleased (released, n);

    if (area == Area::chord)
        bookChordKey (n, isNoteOn);
    else
        bookSoloKey (n, isNoteOn, m.getVelocity());

    // The chord as it stands after a note-on that leaves two or more keys down.
    if (isNoteOn && area == Area::chord && playing[Settings::chordMemory] > 0 && chordNotes.size() >= 2)
        chordMemory.assign (chordNotes);

    // Voices that go with their event: the old ones end before it, so that no
    // receiver cuts a voice that is struck again, and the new ones follow it.
    const bool withEvent = playing[Settings::voicesWithMelody] > 0;

    if (updatesVoices && withEvent)
    {
        prepareVoices();
        endReplacedVoices (t, true);
    }

    if (channel != 0)
    {
        auto copy = m;
        copy.setChannel (channel);
        output.add (copy, t);
    }

    if (updatesVoices && withEvent)
        startNewVoices (t);
    else if (updatesVoices)
        harmonize (0);
}

myAudioProcessor::Area myAudioProcessor::areaOf (int n) const noexcept
{
    return n < playing[Settings::splitPoint] ? Area::chord : Area::solo;
}

int myAudioProcessor::channelForNewNote (const juce::MidiMessage& m, Area area, bool bypassed) const
{
    // While bypassed, notes go out as they came; their releases follow them there.
    if (bypassed)
        return m.getChannel();

    if (area == Area::chord)
        return playing[Settings::chordThru] == 1 ? limitChannel (playing[Settings::chanOutChord]) : 0;

    return limitChannel (playing[Settings::chanOutSolo]);
}
