#pragma once

// The processor as the framework's VST3 wrapper runs it, with an output bus
// only (GuardedComponent passes the input through). The host's events
// come in through the guard (GuardedComponent), taken in time linear in
// their number and without allocating, and meet the controllers that the
// wrapper makes of MIDI-CC parameter changes, in order of position. The
// output goes back at most as many events a block as the wrapper hands a
// host; the rest go out at the start of the next block: late, never lost.
// Made on the host's thread; everything else on its audio thread.

#include "EventIntake.h"
#include "myAudioProcessor.h"

#include <pluginterfaces/vst/ivstevents.h>
#include <pluginterfaces/vst/ivstmidicontrollers.h>

#include <array>

class Vst3Processor : public myAudioProcessor
{
public:
    Vst3Processor();

    /** The host's events of the next block, handed over by the guard. */
    void takeHostEvents (Steinberg::Vst::IEventList* events) noexcept;

    /** The next run of the block function is the part of the block from
        sample `start` to `end` (a host that hands over more samples than it
        announced gets its block in parts): it takes the host's events before
        `end`, at positions counted from `start`. */
    void startPart (int start, int end) noexcept
    {
        partStart = start;
        partEnd = end;
    }

    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages) override;
    void processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages) override;
    using myAudioProcessor::processBlock;
    using myAudioProcessor::processBlockBypassed;

    /** Mono or stereo out. It has no input: the guard passes the host's input through. */
    bool isBusesLayoutSupported (const BusesLayout& layout) const override;

    /** The most events the wrapper hands a host in one block. */
    static constexpr int maxEventsToHost = 2048;

private:
    void run (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages, bool bypassed);
    void takeHostEvent (const Steinberg::Vst::Event& e) noexcept;
    void mergeInto (juce::MidiBuffer& block, const juce::MidiBuffer& controllers) noexcept;
    void handBack (juce::MidiBuffer& midiMessages, int numSamples) noexcept;
    void lendStorage (juce::MidiBuffer& midiMessages) noexcept;

    static constexpr int capacity = outputCapacityBytes;

    EventIntake intake { maxEventsPerBlock, capacity };
    juce::MidiBuffer hostEvents, blockMidi, carried, stillCarried, storage;
    juce::MidiBufferIterator nextHostEvent = hostEvents.cbegin();
    const juce::MidiBuffer* storageLentTo = nullptr;
    int partStart = 0, partEnd = 0;
    std::array<juce::uint8, 0x10000> sysex {}; // a dump framed by 0xf0 and 0xf7
};
