#include "Vst3Processor.h"

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
    : myAudioProcessor (BusesProperties().withOutput ("Output", juce::AudioChannelSet::stereo(), true))
{
    // Once, at the largest a block may use, so that no block ever allocates.
    for (auto* buffer : { &hostEvents, &blockMidi, &carried, &stillCarried, &storage })
        buffer->ensureSize ((size_t) capacity);
}

bool Vst3Processor::isBusesLayoutSupported (const BusesLayout& layout) const
{
    const auto out = layout.getMainOutputChannelSet();
    return out == juce::AudioChannelSet::mono() || out == juce::AudioChannelSet::stereo();
}

//==============================================================================
void Vst3Processor::takeHostEvents (Vst::IEventList* events) noexcept
{
    const int count = events != nullptr ? events->getEventCount() : 0;

    for (int i = 0; i < count; ++i)
    {
        Vst::Event e {};
        if (events->getEvent (i, e) == kResultOk)
            takeHostEvent (e);
    }

    hostEvents.clear();
    intake.moveTo (hostEvents, capacity);
    nextHostEvent = hostEvents.cbegin();
    startPart (0, INT_MAX);
}

void Vst3Processor::takeHostEvent (const Vst::Event& e) noexcept
{
    // The bytes the framework's own conversion would make of each event.
    switch (e.type)
    {
        case Vst::Event::kNoteOnEvent:
        {
            const juce::uint8 bytes[] { (juce::uint8) (0x90 | channelOf (e.noteOn.channel)), dataByte (e.noteOn.pitch), dataByte (e.noteOn.velocity) };
            intake.add (e.sampleOffset, bytes, 3);
            break;
        }
        case Vst::Event::kNoteOffEvent:
        {
            const juce::uint8 bytes[] { (juce::uint8) (0x80 | channelOf (e.noteOff.channel)), dataByte (e.noteOff.pitch), dataByte (e.noteOff.velocity) };
            intake.add (e.sampleOffset, bytes, 3);
            break;
        }
        case Vst::Event::kPolyPressureEvent:
        {
            const juce::uint8 bytes[] { (juce::uint8) (0xa0 | channelOf (e.polyPressure.channel)), dataByte (e.polyPressure.pitch),
                                        dataByte (e.polyPressure.pressure) };
            intake.add (e.sampleOffset, bytes, 3);
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
            intake.add (e.sampleOffset, sysex.data(), (int) e.data.size + 2);
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

            intake.add (e.sampleOffset, bytes, length);
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

    // The wrapper's buffer holds the controllers it made of parameter changes.
    blockMidi.clear();
    mergeInto (blockMidi, midiMessages);

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

void Vst3Processor::mergeInto (juce::MidiBuffer& block, const juce::MidiBuffer& controllers) noexcept
{
    // Both come in order of position; at equal positions the controllers
    // first, as the wrapper itself would put them.
    auto controller = controllers.cbegin();

    for (;;)
    {
        const bool hostLeft = nextHostEvent != hostEvents.cend() && (*nextHostEvent).samplePosition < partEnd;
        const bool controllerLeft = controller != controllers.cend();

        if (! hostLeft && ! controllerLeft)
            break;

        const int hostPosition = hostLeft ? (*nextHostEvent).samplePosition - partStart : 0;
        const bool controllerFirst = controllerLeft && (! hostLeft || (*controller).samplePosition <= hostPosition);
        const auto m = controllerFirst ? *controller++ : *nextHostEvent++;
        OrderedMidi::append (block, capacity, m.data, m.numBytes, controllerFirst ? m.samplePosition : hostPosition);
    }
}

void Vst3Processor::handBack (juce::MidiBuffer& midiMessages, int numSamples) noexcept
{
    // Inside the block, at most as many as the wrapper passes on; once one
    // has to wait, all after it wait too, in order.
    const int lastFrame = juce::jmax (0, numSamples - 1);
    int handed = 0;
    bool full = false;
    midiMessages.clear();
    stillCarried.clear();

    const auto put = [&] (const juce::MidiMessageMetadata& m, int position) {
        full = full || handed >= maxEventsToHost || ! OrderedMidi::append (midiMessages, capacity, m.data, m.numBytes, partStart + position);

        if (full)
            OrderedMidi::append (stillCarried, capacity, m.data, m.numBytes, 0);
        else
            ++handed;
    };

    for (const auto m : carried)
        put (m, 0);

    for (const auto m : blockMidi)
        put (m, juce::jlimit (0, lastFrame, m.samplePosition));

    carried.swapWith (stillCarried);
}
