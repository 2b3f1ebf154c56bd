#pragma once

// A small VST 2.4 host: loads a plug-in library with dlopen, answers its
// callback, and drives it through its record exactly as a real host would.
// It allocates nothing while a plug-in processes, so that tests can count the
// plug-in's own allocations. A Plugin is driven like a real host drives one:
// processing from one audio thread, other requests from any thread.

#include "VstInterface.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vsthost
{
using MainProc = AEffect* (*) (audioMasterCallback);

/** A plug-in library, loaded for the lifetime of this object. */
class Library
{
public:
    explicit Library (const std::string& path);
    ~Library();

    bool isLoaded() const noexcept { return entry != nullptr; }
    const std::string& getError() const noexcept { return error; }
    MainProc getEntry() const noexcept { return entry; }

private:
    void* handle = nullptr;
    MainProc entry = nullptr;
    std::string error;
};

/** How the host answers the plug-in's questions. */
struct HostBehaviour
{
    intptr_t versionAnswer = 2400;
    intptr_t processLevel = 2; // realtime
    bool canSizeWindow = false;
    intptr_t sizeWindowAnswer = 0;
    bool copySysex = true; // off: a returned dump is not copied, so the host allocates nothing
    bool keepEvents = true; // off: returned events are only counted, as a benchmark wants
};

/** An event as the host received it from the plug-in. */
struct ReceivedEvent
{
    int32_t type = 0, byteSize = 0, deltaFrames = 0, flags = 0;
    std::array<uint8_t, 4> midi {}; // short records
    std::vector<uint8_t> sysex; // system-exclusive records
};

/** One call the plug-in made to the host. */
struct HostCall
{
    int32_t opcode, index;
    intptr_t value;
    float opt;
};

/** Events to hand to a plug-in, kept in the layout the interface wants.
    Built once, then handed over as often as needed without allocating. */
class EventBlock
{
public:
    EventBlock& midi (int deltaFrames, uint8_t status, uint8_t data1 = 0, uint8_t data2 = 0, uint8_t data3 = 0);
    EventBlock& sysex (int deltaFrames, std::vector<uint8_t> bytes);
    EventBlock& nullEntry();

    /** The last record added, for a test to spoil as a careless host would. */
    VstMidiSysexEvent& last() { return records.back()->storage; }

    /** The array to pass with effProcessEvents; valid while this block lives and is not changed. */
    VstEvents* get();
    int size() const noexcept { return (int) records.size(); }
    void clear();

private:
    struct Record
    {
        VstMidiSysexEvent storage {}; // large enough for either kind
        std::vector<uint8_t> dump;
        bool isNull = false;
    };

    std::vector<std::unique_ptr<Record>> records;
    std::vector<unsigned char> array;
};

/** One plug-in instance. */
class Plugin
{
public:
    Plugin (const Library& library, HostBehaviour behaviour = {});
    /** An instance from an entry function linked into this process. */
    Plugin (MainProc entry, HostBehaviour behaviour = {});
    ~Plugin();

    bool isLoaded() const noexcept { return effect != nullptr; }
    AEffect* getEffect() const noexcept { return effect; }

    intptr_t dispatch (int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);

    /** A text request: the answer written into a buffer of bufferSize bytes. */
    std::string getText (int32_t opcode, int32_t index = 0, size_t bufferSize = 64);

    /** effClose; the record is gone afterwards. Answers what the plug-in answered. */
    intptr_t close();

    intptr_t sendEvents (EventBlock& events) { return dispatch (effProcessEvents, 0, 0, events.get()); }
    void processReplacing (float** inputs, float** outputs, int32_t sampleFrames);

    /** The events of the last audioMasterProcessEvents call, and how many such calls there were. */
    const std::vector<ReceivedEvent>& getReceivedEvents() const noexcept { return received; }
    int getNumProcessEventsCalls() const noexcept { return processEventsCalls; }
    int64_t getNumEventsReceived() const noexcept { return eventsReceived; }
    void forgetReceivedEvents();

    int countCalls (int32_t opcode) const;

    /** The plug-in's last call with this opcode ({ -1 } when it made none). */
    HostCall lastCall (int32_t opcode) const;

    HostBehaviour behaviour;

private:
    static intptr_t VSTCALLBACK callback (AEffect*, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
    intptr_t answer (int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
    void receive (const VstEvents* events);

    AEffect* effect = nullptr;
    std::vector<ReceivedEvent> received;
    std::atomic<int> processEventsCalls { 0 };
    std::atomic<int64_t> eventsReceived { 0 };

    mutable std::mutex callsLock;
    std::vector<HostCall> calls;
};

/** Stereo float buffers for a block, with pointer arrays to hand over. */
struct AudioBlock
{
    AudioBlock (int numChannels, int numSamples);

    void fill (float (*signal) (int channel, int sample));

    std::vector<std::vector<float>> inputs, outputs;
    std::vector<float*> inputPointers, outputPointers;
};
} // namespace vsthost
