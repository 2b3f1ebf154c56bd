#include "Vst3Processor.h"

#include "myAudioProcessorEditor.h"

#include <climits>
#include <cstring>

using namespace Steinberg;

namespace
{
/** A channel of a VST3 event, 0 to 15, as the framework's own conversion reads it. */
juce::uint8 channelOf (int channel) noexcept { return (juce::uint8) juce::jlimit (0, 15, channel); }
juce::uint8 dataByte (int value) noexcept { return (juce::uint8) juce::jlimit (0, 127, value); }
juce::uint8 dataByte (float normalised) noexcept { return (juce::uint8) juce::roundToInt (juce::jlimit (0.0f, 127.0f, normalised * 127.0f)); }
} // namespace

Vst3Processor::Vst3Processor()
    : myAudioProcessor (BusesProperties().withOutput ("Output", juce::AudioChannelSet::stereo(), true),
                        &myAudioProcessorEditor::create)
{
    // Once, at the largest a block may use, so that no block ever allocates.
    for (auto* buffer : { &hostEvents, &blockMidi, &storage })
        buffer->ensureSize ((size_t) capacity);
}

bool Vst3Processor::isBusesLayoutSupported (const BusesLayout& layout) const
{
    const auto out = layout.getMainOutputChannelSet();
    return out == juce::AudioChannelSet::mono() || out == juce::AudioChannelSet::stereo();
}

//==============================================================================
void Vst3Processor::takeHostEvents (Vst::IEventList* events, Vst::IParameterChanges* changes, int numSamples) noexcept
{
    const int lastFrame = juce::jmax (0, numSamples - 1);

    // The controllers first, as the wrapper put them before the notes of equal position.
    const int numChanged = changes != nullptr ? changes->getParameterCount() : 0;

    for (int i = 0; i < numChanged; ++i)
        if (auto* queue = changes->getParameterData (i))
            takeControllerChanges (*queue, lastFrame);

    const int count = events != nullptr ? events->getEventCount() : 0;

    for (int i = 0; i < count; ++i)
    {
        Vst::Event e {};
        if (events->getEvent (i, e) == kResultOk)
            takeHostEvent (e, lastFrame);
    }

    hostEvents.clear();
    intake.moveTo (hostEvents, capacity);
    nextHostEvent = hostEvents.cbegin();
    startPart (0, INT_MAX);
}

void Vst3Processor::takeControllerChanges (Vst::IParamValueQueue& queue, int lastFrame) noexcept
{
    const auto index = (int64_t) queue.getParameterId() - (int64_t) firstControllerParameter;

    if (index < 0 || index >= 16 * controllersPerChannel)
        return;

    // The messages the framework's own conversion makes of each point.
    const auto channel = (juce::uint8) (index / controllersPerChannel);
    const int number = (int) (index % controllersPerChannel);
    const int numPoints = queue.getPointCount();

    for (int point = 0; point < numPoints; ++point)
    {
        int32 offset = 0;
        Vst::ParamValue value = 0;

        if (queue.getPoint (point, offset, value) != kResultTrue)
            continue;

        const int position = juce::jlimit (0, lastFrame, (int) offset);

        if (number == Vst::kAfterTouch)
        {
            const juce::uint8 bytes[] { (juce::uint8) (0xd0 | channel), (juce::uint8) juce::jlimit (0, 127, (int) (value * 128.0)) };
            intake.add (position, bytes, 2);
        }
        else if (number == Vst::kPitchBend)
        {
            const int bend = juce::jlimit (0, 0x3fff, (int) (value * 0x4000));
            const juce::uint8 bytes[] { (juce::uint8) (0xe0 | channel), (juce::uint8) (bend & 0x7f), (juce::uint8) (bend >> 7) };
            intake.add (position, bytes, 3);
        }
        else
        {
            const juce::uint8 bytes[] { (juce::uint8) (0xb0 | channel), (juce::uint8) number, (juce::uint8) juce::jlimit (0, 127, (int) (value * 128.0)) };
            intake.add (position, bytes, 3);
        }
    }
}

void Vst3Processor::takeHostEvent (const Vst::Event& e, int lastFrame) noexcept
{
    const int position = juce::jlimit (0, lastFrame, (int) e.sampleOffset);

    // The bytes the framework's own conversion would make of each event.
    switch (e.type)
    {
        case Vst::Event::kNoteOnEvent:
        {
            const juce::uint8 bytes[] { (juce::uint8) (0x90 | channelOf (e.noteOn.channel)), dataByte (e.noteOn.pitch), dataByte (e.noteOn.velocity) };
            intake.add (position, bytes, 3);
            break;
        }
        case Vst::Event::kNoteOffEvent:
        {
            const juce::uint8 bytes[] { (juce::uint8) (0x80 | channelOf (e.noteOff.channel)), dataByte (e.noteOff.pitch), dataByte (e.noteOff.velocity) };
            intake.add (position, bytes, 3);
            break;
        }
        case Vst::Event::kPolyPressureEvent:
        {
            const juce::uint8 bytes[] { (juce::uint8) (0xa0 | channelOf (e.polyPressure.channel)), dataByte (e.polyPressure.pitch),
                                        dataByte (e.polyPressure.pressure) };
            intake.add (position, bytes, 3);
            break;
        }
        case Vst::Event::kDataEvent:
        {
            // A dump longer than the framework keeps in one event is left out whole.
            if (e.data.bytes == nullptr || e.data.size > sysex.size() - 2)
                break;

            sysex[0] = 0xf0;
            std::memcpy (sysex.data() + 1, e.data.bytes, e.data.size);
            sysex[e.data.size + 1] = 0xf7;
            intake.add (position, sysex.data(), (int) e.data.size + 2);
            break;
        }
        case Vst::Event::kLegacyMIDICCOutEvent:
        {
            const auto& c = e.midiCCOut;
            const auto channel = channelOf (c.channel);
            juce::uint8 bytes[3] {};
            int length = 3;

            if (c.controlNumber <= 127)
                bytes[0] = (juce::uint8) (0xb0 | channel), bytes[1] = c.controlNumber, bytes[2] = dataByte (c.value);
            else if (c.controlNumber == Vst::kAfterTouch)
                bytes[0] = (juce::uint8) (0xd0 | channel), bytes[1] = dataByte (c.value), length = 2;
            else if (c.controlNumber == Vst::kPitchBend)
                bytes[0] = (juce::uint8) (0xe0 | channel), bytes[1] = c.value & 0x7f, bytes[2] = c.value2 & 0x7f;
            else if (c.controlNumber == Vst::kCtrlProgramChange)
                bytes[0] = (juce::uint8) (0xc0 | channel), bytes[1] = dataByte (c.value), length = 2;
            else if (c.controlNumber == Vst::kCtrlPolyPressure)
                bytes[0] = (juce::uint8) (0xa0 | channel), bytes[1] = dataByte (c.value), bytes[2] = dataByte (c.value2);
            else
                break;

            intake.add (position, bytes, length);
            break;
        }
        default:
            break; // note expression, chords and scales are no MIDI
    }
}

//==============================================================================
void Vst3Processor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages)
{
    run (buffer, midiMessages, false);
}

void Vst3Processor::processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages)
{
    run (buffer, midiMessages, true);
}

void Vst3Processor::run (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages, bool bypassed)
{
    lendStorage (midiMessages);
    takePart();

    if (bypassed)
        myAudioProcessor::processBlockBypassed (buffer, blockMidi);
    else
        myAudioProcessor::processBlock (buffer, blockMidi);

    handBack (midiMessages, buffer.getNumSamples());
}

void Vst3Processor::lendStorage (juce::MidiBuffer& midiMessages) noexcept
{
    // The wrapper reserves little for its buffer; the first block trades it
    // for storage of our own, so that no later block grows it.
    if (storageLentTo == &midiMessages)
        return;

    storage.data.clearQuick();
    storage.data.addArray (midiMessages.data);
    midiMessages.swapWith (storage);
    storageLentTo = &midiMessages;
}

void Vst3Processor::takePart() noexcept
{
    // The host's events of this part, at positions counted from its start.
    blockMidi.clear();

    for (; nextHostEvent != hostEvents.cend() && (*nextHostEvent).samplePosition < partEnd; ++nextHostEvent)
    {
        const auto m = *nextHostEvent;
        OrderedMidi::append (blockMidi, capacity, m.data, m.numBytes, m.samplePosition - partStart);
    }
}

void Vst3Processor::handBack (juce::MidiBuffer& midiMessages, int numSamples) noexcept
{
    // Inside the block, at most as many as the wrapper passes on: those that
    // waited first, at the block's start; once one has to wait, all after it
    // wait too, in order.
    const int lastFrame = juce::jmax (0, numSamples - 1);
    int handed = 0;
    midiMessages.clear();

    const auto hand = [&] (const juce::uint8* data, int size, int position) {
        const bool handedOn = handed < maxEventsToHost && OrderedMidi::append (midiMessages, capacity, data, size, partStart + position);
        handed += handedOn ? 1 : 0;
        return handedOn;
    };

    while (! waiting.isEmpty() && hand (waiting.front().data, waiting.front().size, 0))
        waiting.pop();

    for (const auto m : blockMidi)
    {
        const auto fits = [&] (int releases) { return waiting.fits (m.numBytes, releases); };

        if (! waitingGate.admit (m.data, m.numBytes, fits))
            continue;

        if (! waiting.isEmpty() || ! hand (m.data, m.numBytes, juce::jlimit (0, lastFrame, m.samplePosition)))
            waiting.push (m.data, m.numBytes);
    }
}
