// The audio-thread side of the adapter: taking the host's events, running the
// block function over the host's buffers, and handing the result back.

#include "JuceVSTWrapper.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr int eventPoolStep = 32;
constexpr int eventsPooledAtResume = 512;
constexpr int midiBytesReservedAtResume = 2048;
constexpr size_t eventRecordSize = sizeof (VstMidiSysexEvent); // room for either record kind
constexpr int maxScratchSamples = 1 << 20; // whatever block size a host claims

size_t eventArraySize (int numRecords)
{
    return offsetof (VstEvents, events) + sizeof (VstEvent*) * (size_t) numRecords;
}
} // namespace

//==============================================================================
void JuceVSTWrapper::resume()
{
    resumeKeepingEvents (false);
}

void JuceVSTWrapper::resumeKeepingEvents (bool keepPendingEvents)
{
    if (processor == nullptr)
        return;

    isResumed = true;
    channelPointers.calloc ((size_t) (inputChannelCount + outputChannelCount));

    const double rate = sampleRate > 0.0f ? (double) sampleRate : 44100.0;
    const int size = blockSize;

    firstBlockPending = true;
    processor->setNonRealtime (isOfflineProcessLevel());
    processor->setPlayConfigDetails (inputChannelCount, outputChannelCount, rate, size);
    resetScratchChannels();
    processor->prepareToPlay (rate, size);

    blockMidi.ensureSize (midiBytesReservedAtResume);

    // A resume asked for by the host drops what arrived while suspended; one
    // the plug-in makes by itself keeps what the host handed over for this block.
    if (! keepPendingEvents)
        blockMidi.clear();

    cEffect.initialDelay = processor->getLatencySamples();

    if ((cEffect.flags & effFlagsIsSynth) != 0 || canDo ("receiveVstMidiEvent") == 1)
        callHost (audioMasterWantMidi, 0, 1);

    ensureEventPool (eventsPooledAtResume);
}

void JuceVSTWrapper::suspend()
{
    if (processor == nullptr)
        return;

    processor->releaseResources();
    freeEventPool();
    isResumed = false;
    channelPointers.free();
    resetScratchChannels();
}

bool JuceVSTWrapper::isOfflineProcessLevel()
{
    return callHost (audioMasterGetCurrentProcessLevel) == kVstProcessLevelOffline;
}

void JuceVSTWrapper::resetScratchChannels()
{
    scratchChannels.clear();

    if (processor != nullptr)
        scratchChannels.resize ((size_t) (inputChannelCount + outputChannelCount));
}

//==============================================================================
int32_t JuceVSTWrapper::processEvents (VstEvents* events)
{
    if (events == nullptr)
        return 1;

    for (int i = 0; i < events->numEvents; ++i)
    {
        const auto* e = eventSlots (events)[i];

        if (e == nullptr)
            continue;

        // Hosts assert on negative positions coming back; take them as the block start.
        const int position = juce::jmax (0, e->deltaFrames);

        if (e->type == kVstMidiType)
        {
            const auto* midi = reinterpret_cast<const VstMidiEvent*> (e);
            blockMidi.addEvent (midi->midiData, 4, position);
        }
        else if (e->type == kVstSysExType)
        {
            const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*> (e);

            if (sysex->sysexDump != nullptr && sysex->dumpBytes > 0)
                blockMidi.addEvent (sysex->sysexDump, sysex->dumpBytes, position);
        }
    }

    return 1;
}

void JuceVSTWrapper::processReplacing (float** inputs, float** outputs, int32_t sampleFrames)
{
    if (processor == nullptr)
        return;

    // The first block, or a block after a suspend the host did not undo,
    // switches the plug-in on by itself.
    if (! isResumed)
        resumeKeepingEvents (true);

    if (firstBlockPending)
    {
        firstBlockPending = false;
        processor->setNonRealtime (isOfflineProcessLevel());

        if (callingThreadHasNormalPriority())
            processor->setNonRealtime (true);
    }

    const int numSamples = juce::jmax (0, (int) sampleFrames);
    bool audioIsUsable = inputs != nullptr || inputChannelCount == 0;
    audioIsUsable = audioIsUsable && (outputs != nullptr || outputChannelCount == 0);

    for (int i = 0; audioIsUsable && i < inputChannelCount; ++i)
        audioIsUsable = inputs[i] != nullptr;
    for (int i = 0; audioIsUsable && i < outputChannelCount; ++i)
        audioIsUsable = outputs[i] != nullptr;

    auto runBlockFunction = [this] (juce::AudioBuffer<float>& buffer)
    {
        if (isBypassed)
            processor->processBlockBypassed (buffer, blockMidi);
        else
            processor->processBlock (buffer, blockMidi);
    };

    {
        const juce::ScopedLock sl (processor->getCallbackLock());

        if (processor->isSuspended())
        {
            for (int i = 0; audioIsUsable && i < outputChannelCount; ++i)
                juce::FloatVectorOperations::clear (outputs[i], numSamples);
        }
        else if (! audioIsUsable)
        {
            // The MIDI still gets through when a careless host hands no audio.
            juce::AudioBuffer<float> noAudio (channelPointers.get(), 0, numSamples);
            runBlockFunction (noAudio);
        }
        else
        {
            for (int i = 0; i < outputChannelCount; ++i)
            {
                // An output that shares its buffer with an earlier one is worked
                // on in a scratch buffer of its own, which then stays until reset.
                auto& scratch = scratchChannels[(size_t) i];
                const bool needsScratch = scratch.samples != nullptr || std::find (outputs, outputs + i, outputs[i]) != outputs + i;

                // Sized for the block actually handed over, should it be longer than announced.
                if (needsScratch && (scratch.samples == nullptr || scratch.size < numSamples))
                {
                    scratch.size = juce::jmax (2 * juce::jlimit (0, maxScratchSamples, blockSize), numSamples, 1);
                    scratch.samples.calloc ((size_t) scratch.size);
                }

                float* channel = needsScratch ? scratch.samples.get() : outputs[i];

                if (i < inputChannelCount && channel != inputs[i])
                    std::memcpy (channel, inputs[i], sizeof (float) * (size_t) numSamples);

                channelPointers[i] = channel;
            }

            for (int i = outputChannelCount; i < inputChannelCount; ++i)
                channelPointers[i] = inputs[i];

            juce::AudioBuffer<float> buffer (channelPointers.get(), juce::jmax (inputChannelCount, outputChannelCount), numSamples);
            runBlockFunction (buffer);

            for (int i = 0; i < outputChannelCount; ++i)
                if (auto* scratch = scratchChannels[(size_t) i].samples.get())
                    std::memcpy (outputs[i], scratch, sizeof (float) * (size_t) numSamples);
        }
    }

    if (! blockMidi.isEmpty())
        sendOutgoingEvents();
}

//==============================================================================
void JuceVSTWrapper::ensureEventPool (int numEvents)
{
    if (numEvents <= numAllocatedEvents)
        return;

    int newSize = (numEvents + eventPoolStep) & ~(eventPoolStep - 1);
    auto* grown = static_cast<VstEvents*> (std::realloc (hostEvents, eventArraySize (newSize)));

    if (grown == nullptr)
        return;

    if (hostEvents == nullptr)
        std::memset (grown, 0, eventArraySize (0));

    hostEvents = grown;

    for (int i = numAllocatedEvents; i < newSize; ++i)
    {
        auto* record = static_cast<VstEvent*> (std::calloc (1, eventRecordSize));

        if (record == nullptr)
        {
            newSize = i;
            break;
        }

        record->type = kVstMidiType;
        record->byteSize = (int32_t) sizeof (VstMidiEvent);
        eventSlots (hostEvents)[i] = record;
    }

    numAllocatedEvents = newSize;
}

void JuceVSTWrapper::freeEventPool()
{
    if (hostEvents != nullptr)
    {
        for (int i = 0; i < numAllocatedEvents; ++i)
        {
            auto* record = eventSlots (hostEvents)[i];

            if (record->type == kVstSysExType)
                std::free (reinterpret_cast<VstMidiSysexEvent*> (record)->sysexDump);

            std::free (record);
        }

        std::free (hostEvents);
        hostEvents = nullptr;
    }

    numUsedEvents = numAllocatedEvents = 0;
}

void JuceVSTWrapper::sendOutgoingEvents()
{
    ensureEventPool (blockMidi.getNumEvents());
    numUsedEvents = 0;

    if (hostEvents != nullptr)
        hostEvents->numEvents = 0;

    for (const auto meta : blockMidi)
    {
        ensureEventPool (numUsedEvents + 1);

        if (hostEvents == nullptr || numUsedEvents >= numAllocatedEvents)
            break; // out of memory: send what fits

        auto* record = eventSlots (hostEvents)[numUsedEvents];

        if (meta.numBytes <= 4)
        {
            auto* midi = reinterpret_cast<VstMidiEvent*> (record);

            if (record->type == kVstSysExType)
            {
                std::free (reinterpret_cast<VstMidiSysexEvent*> (record)->sysexDump);
                std::memset (record, 0, eventRecordSize);
                midi->type = kVstMidiType;
                midi->byteSize = (int32_t) sizeof (VstMidiEvent);
            }

            midi->deltaFrames = meta.samplePosition;
            std::memset (midi->midiData, 0, sizeof (midi->midiData)); // no bytes left over from an earlier block
            std::memcpy (midi->midiData, meta.data, (size_t) meta.numBytes);
        }
        else
        {
            auto* dump = static_cast<char*> (std::malloc ((size_t) meta.numBytes));

            if (dump == nullptr)
                continue;

            std::memcpy (dump, meta.data, (size_t) meta.numBytes);

            auto* sysex = reinterpret_cast<VstMidiSysexEvent*> (record);

            if (record->type == kVstSysExType)
                std::free (sysex->sysexDump);

            sysex->type = kVstSysExType;
            sysex->byteSize = (int32_t) sizeof (VstMidiSysexEvent);
            sysex->deltaFrames = meta.samplePosition;
            sysex->flags = 0;
            sysex->dumpBytes = meta.numBytes;
            sysex->resvd1 = 0;
            sysex->sysexDump = dump;
            sysex->resvd2 = 0;
        }

        hostEvents->numEvents = ++numUsedEvents;
    }

    if (hostEvents != nullptr)
        callHost (audioMasterProcessEvents, 0, 0, hostEvents, 0.0f);

    blockMidi.clear();
}
