#include "VstHost.h"

#include <cstring>

#if defined(_WIN32)
 #include <windows.h>
#else
 #include <dlfcn.h>
#endif

namespace vsthost
{
namespace
{
// The plug-in asks for the host's version before its record exists.
thread_local Plugin* pluginBeingLoaded = nullptr;

constexpr size_t maxRecordedCalls = 1 << 16;
constexpr size_t maxReceivedEvents = 1 << 16;
} // namespace

//==============================================================================
Library::Library (const std::string& path)
{
#if defined(_WIN32)
    handle = (void*) LoadLibraryA (path.c_str());

    if (handle == nullptr)
    {
        error = "cannot load " + path + " (error " + std::to_string (GetLastError()) + ")";
        return;
    }

    entry = reinterpret_cast<MainProc> ((void*) GetProcAddress ((HMODULE) handle, "VSTPluginMain"));
#else
    handle = dlopen (path.c_str(), RTLD_NOW | RTLD_LOCAL);

    if (handle == nullptr)
    {
        const char* message = dlerror();
        error = message != nullptr ? message : "cannot load " + path;
        return;
    }

    entry = reinterpret_cast<MainProc> (dlsym (handle, "VSTPluginMain"));
#endif

    if (entry == nullptr)
        error = path + " has no VSTPluginMain";
}

Library::~Library()
{
    if (handle == nullptr)
        return;

#if defined(_WIN32)
    FreeLibrary ((HMODULE) handle);
#else
    dlclose (handle);
#endif
}

//==============================================================================
EventBlock& EventBlock::midi (int deltaFrames, uint8_t status, uint8_t data1, uint8_t data2, uint8_t data3)
{
    auto record = std::make_unique<Record>();
    auto* e = reinterpret_cast<VstMidiEvent*> (&record->storage);
    e->type = kVstMidiType;
    e->byteSize = (int32_t) sizeof (VstMidiEvent);
    e->deltaFrames = deltaFrames;
    e->midiData[0] = (char) status;
    e->midiData[1] = (char) data1;
    e->midiData[2] = (char) data2;
    e->midiData[3] = (char) data3;
    records.push_back (std::move (record));
    return *this;
}

EventBlock& EventBlock::sysex (int deltaFrames, std::vector<uint8_t> bytes)
{
    auto record = std::make_unique<Record>();
    record->dump = std::move (bytes);
    auto& e = record->storage;
    e.type = kVstSysExType;
    e.byteSize = (int32_t) sizeof (VstMidiSysexEvent);
    e.deltaFrames = deltaFrames;
    e.dumpBytes = (int32_t) record->dump.size();
    e.sysexDump = reinterpret_cast<char*> (record->dump.data());
    records.push_back (std::move (record));
    return *this;
}

EventBlock& EventBlock::nullEntry()
{
    auto record = std::make_unique<Record>();
    record->isNull = true;
    records.push_back (std::move (record));
    return *this;
}

VstEvents* EventBlock::get()
{
    array.assign (offsetof (VstEvents, events) + sizeof (VstEvent*) * std::max<size_t> (2, records.size()), 0);
    auto* events = reinterpret_cast<VstEvents*> (array.data());
    events->numEvents = (int32_t) records.size();

    for (size_t i = 0; i < records.size(); ++i)
        eventSlots (events)[i] = records[i]->isNull ? nullptr : reinterpret_cast<VstEvent*> (&records[i]->storage);

    return events;
}

void EventBlock::clear()
{
    records.clear();
    array.clear();
}

//==============================================================================
Plugin::Plugin (const Library& library, HostBehaviour b)
    : Plugin (library.getEntry(), b)
{
}

Plugin::Plugin (MainProc entry, HostBehaviour b)
    : behaviour (b)
{
    received.reserve (maxReceivedEvents);
    calls.reserve (maxRecordedCalls);

    if (entry == nullptr)
        return;

    pluginBeingLoaded = this;
    effect = entry (callback);
    pluginBeingLoaded = nullptr;

    if (effect != nullptr)
        effect->user = this;
}

Plugin::~Plugin()
{
    close();
}

intptr_t Plugin::dispatch (int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    return effect != nullptr ? effect->dispatcher (effect, opcode, index, value, ptr, opt) : 0;
}

std::string Plugin::getText (int32_t opcode, int32_t index, size_t bufferSize)
{
    std::vector<char> buffer (bufferSize + 64, '\x7f'); // room to notice a write past the size
    dispatch (opcode, index, 0, buffer.data());
    return std::string (buffer.data(), strnlen (buffer.data(), buffer.size()));
}

intptr_t Plugin::close()
{
    if (effect == nullptr)
        return 0;

    const auto result = effect->dispatcher (effect, effClose, 0, 0, nullptr, 0.0f);
    effect = nullptr;
    return result;
}

void Plugin::processReplacing (float** inputs, float** outputs, int32_t sampleFrames)
{
    if (effect != nullptr)
        effect->processReplacing (effect, inputs, outputs, sampleFrames);
}

void Plugin::forgetReceivedEvents()
{
    received.clear();
    processEventsCalls = 0;
}

int Plugin::countCalls (int32_t opcode) const
{
    if (opcode == audioMasterProcessEvents)
        return processEventsCalls;

    std::lock_guard<std::mutex> lock (callsLock);
    int n = 0;
    for (auto& c : calls)
        n += c.opcode == opcode ? 1 : 0;
    return n;
}

HostCall Plugin::lastCall (int32_t opcode) const
{
    std::lock_guard<std::mutex> lock (callsLock);
    for (auto c = calls.rbegin(); c != calls.rend(); ++c)
        if (c->opcode == opcode)
            return *c;
    return { -1, 0, 0, 0.0f };
}

intptr_t VSTCALLBACK Plugin::callback (AEffect* e, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    auto* self = e != nullptr && e->user != nullptr ? static_cast<Plugin*> (e->user) : pluginBeingLoaded;
    return self != nullptr ? self->answer (opcode, index, value, ptr, opt) : (opcode == audioMasterVersion ? 2400 : 0);
}

void Plugin::receive (const VstEvents* events)
{
    // Copy what is needed during the call: the records stay the plug-in's.
    ++processEventsCalls;
    received.clear();

    if (events != nullptr)
        eventsReceived += events->numEvents;

    if (! behaviour.keepEvents)
        return;

    for (int i = 0; events != nullptr && i < events->numEvents && received.size() < maxReceivedEvents; ++i)
    {
        const auto* ev = eventSlots (events)[i];
        ReceivedEvent r;
        r.type = ev->type;
        r.byteSize = ev->byteSize;
        r.deltaFrames = ev->deltaFrames;
        r.flags = ev->flags;

        if (ev->type == kVstMidiType)
            std::memcpy (r.midi.data(), reinterpret_cast<const VstMidiEvent*> (ev)->midiData, 4);
        else if (ev->type == kVstSysExType && behaviour.copySysex)
        {
            const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*> (ev);
            r.sysex.assign (sysex->sysexDump, sysex->sysexDump + sysex->dumpBytes);
        }

        received.push_back (std::move (r));
    }
}

intptr_t Plugin::answer (int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    // The audio thread's calls are not recorded (its events are counted apart),
    // so that the host neither locks nor allocates there and the plug-in's own
    // calls can be counted from its first block on.
    if (opcode != audioMasterProcessEvents && opcode != audioMasterGetCurrentProcessLevel)
    {
        std::lock_guard<std::mutex> lock (callsLock);
        if (calls.size() < maxRecordedCalls)
            calls.push_back ({ opcode, index, value, opt });
    }

    switch (opcode)
    {
        case audioMasterVersion:
            return behaviour.versionAnswer;

        case audioMasterGetCurrentProcessLevel:
            return behaviour.processLevel;

        case audioMasterCanDo:
            return ptr != nullptr && std::strcmp (static_cast<const char*> (ptr), "sizeWindow") == 0 && behaviour.canSizeWindow ? 1 : 0;

        case audioMasterSizeWindow:
            return behaviour.sizeWindowAnswer;

        case audioMasterProcessEvents:
            receive (static_cast<const VstEvents*> (ptr));
            return 1;

        default:
            return 0;
    }
}

//==============================================================================
AudioBlock::AudioBlock (int numChannels, int numSamples)
    : inputs ((size_t) numChannels, std::vector<float> ((size_t) numSamples)),
      outputs ((size_t) numChannels, std::vector<float> ((size_t) numSamples))
{
    for (auto& c : inputs)
        inputPointers.push_back (c.data());
    for (auto& c : outputs)
        outputPointers.push_back (c.data());
}

void AudioBlock::fill (float (*signal) (int channel, int sample))
{
    for (size_t c = 0; c < inputs.size(); ++c)
        for (size_t i = 0; i < inputs[c].size(); ++i)
            inputs[c][i] = signal ((int) c, (int) i);
}
} // namespace vsthost
