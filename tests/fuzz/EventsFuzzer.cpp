// Turns bytes into what a careless or hostile host might hand over in a
// session: event blocks with null entries, wrong sizes and odd counts, blocks
// of any length, bypass and on/off toggles, foreign settings. The plug-in
// must never crash and must only ever give back well-formed events.

#include "JuceVSTWrapper.h"
#include "StateChunk.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

extern "C" AEffect* VSTPluginMain (audioMasterCallback);

namespace
{
struct Input
{
    const uint8_t* data;
    size_t size, at = 0;

    bool empty() const { return at >= size; }
    uint8_t byte() { return at < size ? data[at++] : 0; }
    int32_t int32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = (v << 8) | byte();
        return (int32_t) v;
    }
};

intptr_t VSTCALLBACK host (AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float)
{
    if (opcode == audioMasterVersion)
        return 2400;

    if (opcode == audioMasterProcessEvents)
    {
        const auto* events = static_cast<const VstEvents*> (ptr);

        for (int i = 0; i < events->numEvents; ++i)
        {
            const auto* e = eventSlots (events)[i];

            if (e == nullptr || e->deltaFrames < 0)
                __builtin_trap();

            if (e->type == kVstMidiType)
            {
                if ((reinterpret_cast<const VstMidiEvent*> (e)->midiData[0] & 0x80) == 0)
                    __builtin_trap();
            }
            else if (e->type == kVstSysExType)
            {
                const auto* s = reinterpret_cast<const VstMidiSysexEvent*> (e);
                if (s->dumpBytes <= 4 || s->sysexDump == nullptr)
                    __builtin_trap();
                volatile char last = s->sysexDump[s->dumpBytes - 1]; // must be readable
                (void) last;
            }
            else
            {
                __builtin_trap();
            }
        }
    }

    return 0;
}

struct HostEventBlock
{
    std::vector<std::unique_ptr<VstMidiSysexEvent>> records;
    std::vector<std::unique_ptr<char[]>> dumps;
    std::vector<unsigned char> array;

    VstEvents* build (Input& in)
    {
        const int entries = in.byte() % 40;
        array.assign (offsetof (VstEvents, events) + sizeof (VstEvent*) * (size_t) std::max (2, entries), 0);
        auto* events = reinterpret_cast<VstEvents*> (array.data());

        for (int i = 0; i < entries; ++i)
        {
            const auto kind = in.byte() % 4;

            if (kind == 0)
                continue; // a null entry

            auto record = std::make_unique<VstMidiSysexEvent>();
            std::memset (record.get(), 0, sizeof (VstMidiSysexEvent));
            record->type = kind == 3 ? (int32_t) in.byte() : (kind == 1 ? kVstMidiType : kVstSysExType);
            record->byteSize = in.int32();
            record->deltaFrames = in.byte() & 1 ? in.int32() : in.byte();

            if (record->type == kVstSysExType)
            {
                const int length = in.byte() % 64;
                dumps.emplace_back (new char[(size_t) length + 1]);
                for (int b = 0; b < length; ++b)
                    dumps.back()[b] = (char) in.byte();
                record->dumpBytes = in.byte() & 1 ? -(int32_t) in.byte() : length;
                record->sysexDump = in.byte() % 8 == 0 ? nullptr : dumps.back().get();
            }
            else
            {
                auto* midi = reinterpret_cast<VstMidiEvent*> (record.get());
                for (auto& b : midi->midiData)
                    b = (char) in.byte();
            }

            eventSlots (events)[i] = reinterpret_cast<VstEvent*> (record.get());
            records.push_back (std::move (record));
        }

        const auto count = (int8_t) in.byte();
        events->numEvents = count < 0 ? count : std::min<int> (count, entries);
        return events;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    // Kept to the process's end and not destroyed at exit, as a host would:
    // the framework's own statics may be gone by then.
    static const auto* framework = new juce::ScopedJuceInitialiser_GUI();
    juce::ignoreUnused (framework);

    Input in { data, size };
    AEffect* effect = VSTPluginMain (host);

    if (effect == nullptr)
        return 0;

    auto dispatch = [&] (int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
        return effect->dispatcher (effect, opcode, index, value, ptr, opt);
    };

    dispatch (effSetBlockSize, 0, 256, nullptr, 0.0f);
    if (in.byte() & 1)
        dispatch (effMainsChanged, 0, 1, nullptr, 0.0f);

    constexpr int maxFrames = 1024;
    std::vector<float> audio (4 * maxFrames);
    float* inputs[] = { &audio[0], &audio[maxFrames] };
    float* outputs[] = { &audio[2 * maxFrames], &audio[3 * maxFrames] };
    float* sharedOutputs[] = { &audio[2 * maxFrames], &audio[2 * maxFrames] };

    for (int steps = 0; ! in.empty() && steps < 64; ++steps)
    {
        switch (in.byte() % 8)
        {
            case 0:
            case 1:
            case 2:
            {
                HostEventBlock block;
                dispatch (effProcessEvents, 0, 0, block.build (in), 0.0f);
                break;
            }
            case 3:
            case 4:
                effect->processReplacing (effect, inputs, in.byte() & 1 ? sharedOutputs : outputs, in.byte() * 4);
                break;
            case 5:
                dispatch (effSetBypass, 0, in.byte() & 1, nullptr, 0.0f);
                break;
            case 6:
                dispatch (effMainsChanged, 0, in.byte() & 1, nullptr, 0.0f);
                break;
            case 7:
            {
                // Foreign settings: any value for any key.
                auto values = Settings::defaults();
                const auto key = in.byte() % values.size();
                values[key] = in.int32();
                juce::MemoryBlock chunk;
                StateChunk::write (values, chunk);
                dispatch (effSetChunk, 0, (intptr_t) chunk.getSize(), chunk.getData(), 0.0f);
                break;
            }
        }
    }

    dispatch (effClose, 0, 0, nullptr, 0.0f);
    return 0;
}
