#pragma once

// The processor as the framework's VST3 wrapper runs it, with an output bus
// only (GuardedComponent passes the input through). The host's events and
// the controllers, pitch bend and pressure that come as changes of the
// framework's MIDI-CC parameters come in through the guard (GuardedComponent),
// taken together in time linear in their number and without allocating.
// The output goes back at most as many events a block as the wrapper hands a
// host; the rest go out at the start of the next block: late, never lost.
// Made on the host's thread; everything else on its audio thread.

#include "EventIntake.h"
#include "WaitingEvents.h"
#include "myAudioProcessor.h"

#include <pluginterfaces/vst/ivstevents.h>
#include <pluginterfaces/vst/ivstmidicontrollers.h>
#include <pluginterfaces/vst/ivstparameterchanges.h>

#include <array>

class Vst3Processor : public myAudioProcessor
{
public:
    Vst3Processor();

    /** The host's events and MIDI-CC parameter changes of the next block of
        `numSamples`, handed over by the guard; every one lands inside the block. */
    void takeHostEvents (Steinberg::Vst::IEventList* events, Steinberg::Vst::IParameterChanges* changes, int numSamples) noexcept;

    /** The framework's parameter for a channel's controller (0 to 127),
        pressure (kAfterTouch) or pitch bend (kPitchBend): its own mapping, for
        a processor like this one, without parameters of its own. */
    static constexpr Steinberg::Vst::ParamID firstControllerParameter = 0x6d636d00; // 'mdm', then channel and controller
    static constexpr int controllersPerChannel = Steinberg::Vst::kCountCtrlNumber;

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
    void takeHostEvent (const Steinberg::Vst::Event& e, int lastFrame) noexcept;
    void takeControllerChanges (Steinberg::Vst::IParamValueQueue& queue, int lastFrame) noexcept;
    void takePart() noexcept;
    void handBack (juce::MidiBuffer& midiMessages, int numSamples) noexcept;
    void lendStorage (juce::MidiBuffer& midiMessages) noexcept;

    static constexpr int capacity = outputCapacityBytes;

    EventIntake intake { maxEventsPerBlock, capacity };
    juce::MidiBuffer hostEvents, blockMidi, storage;
    WaitingEvents waiting { maxEventsPerBlock, maxSysexBytesPerBlock };
    NoteGate waitingGate; // new notes give way when the waiting events fill up
    juce::MidiBufferIterator nextHostEvent = hostEvents.cbegin();
    const juce::MidiBuffer* storageLentTo = nullptr;
    int partStart = 0, partEnd = 0;
    std::array<juce::uint8, 0x10000> sysex {}; // a dump framed by 0xf0 and 0xf7
};
