// The block function and the harmony update: everything here runs on the
// host's audio thread and must neither wait nor allocate in the steady state.

#include "myAudioProcessor.h"

namespace
{
constexpr int allNotesOffController = 123;
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
    int held = 0;

    for (auto& list : soloNotes)
        if (list.getFirst().note >= 0)
            ++held;

    return held;
}

void myAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages)
{
    for (int ch = getTotalNumInputChannels(); ch < getTotalNumOutputChannels(); ++ch)
        if (ch < buffer.getNumChannels())
            buffer.clear (ch, 0, buffer.getNumSamples());

    output.clear();

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
            sendChangeMessage();

            // Taken in one step, so that a "Learn" pressed meanwhile is not lost.
            if (learnSplitPoint.exchange (false))
            {
                if (n >= lowestLearnableNote)
                {
                    splitPoint = n;
                    sendChangeMessage();
                }
                else
                {
                    splitPointWarning.triggerAsyncUpdate();
                }

                // A release that sets the split point still has to end the note
                // the plug-in sent for that key, or that note would hang.
                if (isNoteOn || keyRoutes[(size_t) n].area == Area::none)
                    continue;
            }

            routeNoteEvent (m, n, isNoteOn, t);
        }
        else if (isController (d, size) && d[1] == allNotesOffController)
        {
            allNotesOff (juce::MidiMessage (d, size, t), t);
        }
        else if (isController (d, size) && d[1] == ccHarmonyCtl)
        {
            harmonyEnabled = d[2] >= 64 ? 1 : 0;
            sendChangeMessage();
            output.addEvent (d, size, t);
        }
        else
        {
            output.addEvent (d, size, t);
        }
    }

    // Copy rather than assign, so that both buffers keep their storage.
    midiMessages.data.clearQuick();
    midiMessages.data.addArray (output.data);
}

void myAudioProcessor::routeNoteEvent (const juce::MidiMessage& m, int n, bool isNoteOn, int t)
{
    auto& route = keyRoutes[(size_t) n];

    // A key that is already sounding stays in the area and on the channel of its
    // first note-on until it is released.
    const auto area = route.area != Area::none ? route.area
                                               : (n < splitPoint ? Area::chord : Area::solo);

    auto sendCopy = [&] (int channel)
    {
        if (channel == 0)
            return;

        auto copy = m;
        copy.setChannel (channel);
        output.addEvent (copy, t);
    };

    if (area == Area::chord)
    {
        if (isNoteOn)
            chordNotes.add (n);
        else
            chordNotes.removeFirstMatchingValue (n);

        int channel = route.channel;

        if (route.area == Area::none || (isNoteOn && channel == 0))
            channel = chordThru == 1 ? limitChannel (chanOutChord) : 0;

        sendCopy (channel);

        if (isNoteOn)
            route = { Area::chord, (int8_t) channel };
        else if (! chordNotes.contains (n))
            route = {};

        if (countSoloNotes() > 0)
            harmonize (output);
    }
    else
    {
        const int channel = route.area != Area::none ? route.channel : limitChannel (chanOutSolo);
        sendCopy (channel);

        if (isNoteOn)
        {
            soloNotes[n].add ({ n, m.getVelocity() });
            route = { Area::solo, (int8_t) channel };
        }
        else
        {
            soloNotes[n].clearQuick();
            route = {};
        }

        harmonize (output);
    }
}

void myAudioProcessor::allNotesOff (const juce::MidiMessage& m, int t)
{
    output.addEvent (m, t);

    // Forgetting the voices without turning them off would leave them hanging.
    for (auto v : harmonyNotes)
    {
        const auto off = juce::MidiMessage::noteOff (harmonyChannel, v, (juce::uint8) 0);
        output.addEvent (off, t);
        keyboardState.processNextMidiEvent (off);
    }

    chordNotes.clearQuick();
    for (auto& list : soloNotes)
        list.clearQuick();
    harmonyNotes.clearQuick();
}

void myAudioProcessor::harmonize (juce::MidiBuffer& out)
{
    for (auto v : harmonyNotes)
    {
        const auto off = juce::MidiMessage::noteOff (harmonyChannel, v, (juce::uint8) 0);
        out.addEvent (off, 0);
        keyboardState.processNextMidiEvent (off);
        sendChangeMessage();
    }

    harmonyNotes.clearQuick();

    if (chordNotes.size() < 2 || harmonyEnabled <= 0)
        return;

    int reference = -1;

    for (int k = 0; k < 128; ++k)
    {
        if (soloNotes[k].getFirst().note >= 0)
        {
            reference = k;
            break;
        }
    }

    if (reference < 0)
        return;

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

    if (excess >= harmonyNotes.size())
        return;

    for (int i = (int) juce::jmax ((int64_t) 0, excess); i < harmonyNotes.size(); ++i)
    {
        const auto on = juce::MidiMessage::noteOn (harmonyChannel, harmonyNotes.getUnchecked (i), velocity);
        out.addEvent (on, 0);
        keyboardState.processNextMidiEvent (on);
        sendChangeMessage();
    }
}

void myAudioProcessor::SplitPointWarning::handleAsyncUpdate()
{
    juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::InfoIcon,
                                            splitWarningTitle, splitWarningText, "OK");
}
