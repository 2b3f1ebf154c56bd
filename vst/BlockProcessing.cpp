// The audio-thread side of the adapter: taking the host's events, running the
// block function over the host's buffers, and handing the result back. Nothing
// here allocates, waits (but for the processor's callback lock) or enters the
// kernel; every event costs constant time, whatever the host hands over.

#include "JuceVSTWrapper.h"

#include "AudioPassThrough.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#if defined(_WIN32)
 #include <windows.h>
#else
 #include <pthread.h>
 #include <sched.h>
 #include <sys/resource.h>
 #include <sys/syscall.h>
 #include <unistd.h>
#endif

namespace
{
constexpr int maxEvents = myAudioProcessor::maxEventsPerBlock;
constexpr int maxBytes = myAudioProcessor::outputCapacityBytes;
constexpr size_t eventRecordSize = sizeof (VstMidiSysexEvent); // room for either record kind
} // namespace

//==============================================================================
void JuceVSTWrapper::allocateBlockStorage()
{
    // Once, at the largest a block may use, so that no block ever allocates.
    blockMidi.ensureSize ((size_t) maxBytes);
    sysexArena.calloc ((size_t) maxBytes);
    eventRecords.calloc ((size_t) maxEvents * eventRecordSize);
    eventArray.calloc (offsetof (VstEvents, events) + sizeof (VstEvent*) * (size_t) maxEvents);
    hostEvents = reinterpret_cast<VstEvents*> (eventArray.get());

    for (int i = 0; i < maxEvents; ++i)
        eventSlots (hostEvents)[i] = reinterpret_cast<VstEvent*> (eventRecords.get() + (size_t) i * eventRecordSize);
}

void JuceVSTWrapper::resume()
{
    resumeKeepingEvents (false);
}

void JuceVSTWrapper::resumeKeepingEvents (bool keepPendingEvents)
{
    if (processor == nullptr)
        return;

    isResumed = true;

    const double rate = sampleRate > 0.0f ? (double) sampleRate : 44100.0;
    const int size = blockSize;

    firstBlockPending = true;
    processor->setNonRealtime (isOfflineProcessLevel());
    processor->setPlayConfigDetails (inputChannelCount, outputChannelCount, rate, size);
    processor->prepareToPlay (rate, size);

    // A resume asked for by the host drops what arrived while suspended; one
    // the plug-in makes by itself keeps what the host handed over for this block.
    if (! keepPendingEvents)
        intake.clear();

    cEffect.initialDelay = processor->getLatencySamples();

    if ((cEffect.flags & effFlagsIsSynth) != 0 || canDo ("receiveVstMidiEvent") == 1)
        callHost (audioMasterWantMidi, 0, 1);
}

void JuceVSTWrapper::suspend()
{
    if (processor == nullptr)
        return;

    processor->releaseResources();
    isResumed = false;
}

bool JuceVSTWrapper::isOfflineProcessLevel()
{
    return callHost (audioMasterGetCurrentProcessLevel) == kVstProcessLevelOffline;
}

//==============================================================================
int32_t JuceVSTWrapper::processEvents (VstEvents* events)
{
    if (events == nullptr)
        return 1;

    for (int i = 0; i < events->numEvents; ++i)
        if (const auto* e = eventSlots (events)[i])
            takeEvent (*e);

    return 1;
}

void JuceVSTWrapper::takeEvent (const VstEvent& e)
{
    // Hosts assert on negative positions coming back: the intake takes them as the block start.
    if (e.type == kVstMidiType)
    {
        intake.add (e.deltaFrames, reinterpret_cast<const juce::uint8*> (reinterpret_cast<const VstMidiEvent&> (e).midiData), 4);
    }
    else if (e.type == kVstSysExType)
    {
        const auto& sysex = reinterpret_cast<const VstMidiSysexEvent&> (e);
        if (sysex.sysexDump != nullptr)
            intake.add (e.deltaFrames, reinterpret_cast<const juce::uint8*> (sysex.sysexDump), sysex.dumpBytes);
    }
}

//==============================================================================
void JuceVSTWrapper::decideRealtimeOnFirstBlock()
{
    // The one block that asks the system something: the calling thread's priority.
    firstBlockPending = false;
    processor->setNonRealtime (isOfflineProcessLevel() || callingThreadHasNormalPriority());
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
        decideRealtimeOnFirstBlock();

    const int numSamples = juce::jmax (0, (int) sampleFrames);
    const bool audioIsUsable = hasEveryChannel (inputs, inputChannelCount) && hasEveryChannel (outputs, outputChannelCount);
    blockMidi.clear();
    intake.moveTo (blockMidi, maxBytes);

    {
        const juce::ScopedLock sl (processor->getCallbackLock());

        if (processor->isSuspended())
        {
            for (int i = 0; audioIsUsable && i < outputChannelCount; ++i)
                juce::FloatVectorOperations::clear (outputs[i], numSamples);
        }
        else
        {
            if (audioIsUsable)
                AudioPassThrough::copy (inputs, outputs, juce::jmin (inputChannelCount, outputChannelCount), numSamples);

            // The MIDI still gets through when a careless host hands no audio.
            const int numChannels = audioIsUsable ? juce::jmax (inputChannelCount, outputChannelCount) : 0;

            for (int i = 0; i < numChannels; ++i)
                channelPointers[(size_t) i] = i < outputChannelCount ? outputs[i] : inputs[i];

            juce::AudioBuffer<float> buffer (channelPointers.data(), numChannels, numSamples);

            if (isBypassed)
                processor->processBlockBypassed (buffer, blockMidi);
            else
                processor->processBlock (buffer, blockMidi);
        }
    }

    if (! blockMidi.isEmpty())
        sendOutgoingEvents (numSamples);
}

bool JuceVSTWrapper::hasEveryChannel (float** channels, int count) noexcept
{
    if (count == 0)
        return true;

    if (channels == nullptr)
        return false;

    for (int i = 0; i < count; ++i)
        if (channels[i] == nullptr)
            return false;

    return true;
}

//==============================================================================
void JuceVSTWrapper::sendOutgoingEvents (int numSamples)
{
    // Hosts assert on positions outside the block; what lies beyond it goes
    // out at its last frame, in order.
    const int lastFrame = juce::jmax (0, numSamples - 1);
    int numUsed = 0, sysexUsed = 0;

    for (const auto meta : blockMidi)
    {
        if (numUsed >= maxEvents)
            break;

        auto* record = eventSlots (hostEvents)[numUsed];
        std::memset (record, 0, eventRecordSize); // nothing left over from an earlier block
        record->deltaFrames = juce::jlimit (0, lastFrame, meta.samplePosition);

        if (meta.numBytes <= 4)
        {
            auto* midi = reinterpret_cast<VstMidiEvent*> (record);
            midi->type = kVstMidiType;
            midi->byteSize = (int32_t) sizeof (VstMidiEvent);
            std::memcpy (midi->midiData, meta.data, (size_t) meta.numBytes);
        }
        else
        {
            if (sysexUsed + meta.numBytes > maxBytes)
                continue;

            auto* sysex = reinterpret_cast<VstMidiSysexEvent*> (record);
            sysex->type = kVstSysExType;
            sysex->byteSize = (int32_t) sizeof (VstMidiSysexEvent);
            sysex->dumpBytes = meta.numBytes;
            sysex->sysexDump = sysexArena.get() + sysexUsed;
            std::memcpy (sysex->sysexDump, meta.data, (size_t) meta.numBytes);
            sysexUsed += meta.numBytes;
        }

        ++numUsed;
    }

    hostEvents->numEvents = numUsed;
    hostEvents->reserved = 0;
    callHost (audioMasterProcessEvents, 0, 0, hostEvents, 0.0f);
    blockMidi.clear();
}

bool callingThreadHasNormalPriority()
{
#if defined(_WIN32)
    const auto priority = GetThreadPriority (GetCurrentThread());
    return priority <= THREAD_PRIORITY_NORMAL && priority >= THREAD_PRIORITY_LOWEST;
#else
    int policy = 0;
    sched_param param {};

    if (pthread_getschedparam (pthread_self(), &policy, &param) != 0)
        return false;

    if (policy != SCHED_OTHER && policy != SCHED_BATCH)
        return false; // a real-time (or idle) thread

    errno = 0;
    const int nice = getpriority (PRIO_PROCESS, (id_t) syscall (SYS_gettid));
    return errno == 0 && nice >= 0;
#endif
}
