// Turns bytes into what a careless or hostile host might hand over in a
// session, through our own host: event blocks with null entries, wrong sizes
// and odd counts, blocks of any length, bypass and on/off toggles, foreign
// settings, and any request of the dispatcher. The plug-in must never crash
// and must only ever give back well-formed events.

#include "JuceVSTWrapper.h"
#include "StateChunk.h"
#include "VstHost.h"

#include <cstdint>
#include <cstring>
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

/** An event block as the bytes say: null entries, records of any type, size
    and position, dumps of any length behind any pointer, any count. */
VstEvents* hostileEvents (Input& in, vsthost::EventBlock& block)
{
    const int entries = in.byte() % 40;

    for (int i = 0; i < entries; ++i)
    {
        const auto kind = in.byte() % 4;

        if (kind == 0)
        {
            block.nullEntry();
            continue;
        }

        const auto type = kind == 3 ? (int32_t) in.byte() : (kind == 1 ? kVstMidiType : kVstSysExType);
        const auto byteSize = in.int32();
        const auto deltaFrames = in.byte() & 1 ? in.int32() : in.byte();

        if (type == kVstSysExType)
        {
            std::vector<uint8_t> dump (in.byte() % 64);
            for (auto& b : dump)
                b = in.byte();
            const auto length = (int32_t) dump.size();
            block.sysex (deltaFrames, std::move (dump));
            block.last().dumpBytes = in.byte() & 1 ? -(int32_t) in.byte() : length;
            if (in.byte() % 8 == 0)
                block.last().sysexDump = nullptr;
        }
        else
        {
            const auto b0 = in.byte(), b1 = in.byte(), b2 = in.byte(), b3 = in.byte();
            block.midi (deltaFrames, b0, b1, b2, b3);
        }

        block.last().type = type;
        block.last().byteSize = byteSize;
    }

    auto* events = block.get();
    const auto count = (int8_t) in.byte();
    events->numEvents = count < 0 ? count : std::min<int> (count, entries);
    return events;
}

/** Any request, with room enough behind every pointer for any record; values
    that are pointers for some opcodes are pointers there. */
void anyRequest (Input& in, vsthost::Plugin& plugin)
{
    static std::vector<unsigned char> memory (4096);
    static VstSpeakerArrangement arrangements[2];
    std::fill (memory.begin(), memory.end(), 0);

    // Closing ends the session; opening the editor needs a window.
    auto opcode = (int32_t) (in.byte() % 96) - 5;
    if (opcode == effClose || opcode == effEditOpen)
        opcode = effIdentify;

    const auto index = in.int32();
    auto value = (intptr_t) in.int32();
    void* ptr = in.byte() % 4 != 0 ? memory.data() : nullptr;

    if (opcode == effSetSpeakerArrangement)
    {
        for (auto& a : arrangements)
            a = { (int32_t) (int8_t) in.byte(), (int32_t) (in.byte() % 4) - 1, {} };
        value = in.byte() & 1 ? (intptr_t) &arrangements[0] : 0;
        ptr = in.byte() & 1 ? &arrangements[1] : nullptr;
    }
    else if (opcode == effGetSpeakerArrangement)
        value = in.byte() & 1 ? (intptr_t) memory.data() : 0;
    else if (opcode == effSetChunk)
        value = (intptr_t) in.byte() * 16 - 16;

    plugin.dispatch (opcode, index, value, ptr, (float) in.int32());
}

/** What a host receives must be what a host can read. */
void expectWellFormed (const std::vector<vsthost::ReceivedEvent>& events)
{
    for (auto& e : events)
    {
        const bool wellFormed = e.deltaFrames >= 0
                                && ((e.type == kVstMidiType && (e.midi[0] & 0x80) != 0) || (e.type == kVstSysExType && e.sysex.size() > 4));
        if (! wellFormed)
            __builtin_trap();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    // Kept to the process's end and not destroyed at exit, as a host would:
    // the framework's own statics may be gone by then.
    static const auto* framework = new juce::ScopedJuceInitialiser_GUI();
    juce::ignoreUnused (framework);

    Input in { data, size };
    vsthost::Plugin plugin (VSTPluginMain);

    if (! plugin.isLoaded())
        return 0;

    plugin.dispatch (effSetBlockSize, 0, 256);
    if (in.byte() & 1)
        plugin.dispatch (effMainsChanged, 0, 1);

    constexpr int maxFrames = 1024;
    std::vector<float> audio (4 * maxFrames);
    float* inputs[] = { &audio[0], &audio[maxFrames] };
    float* outputs[] = { &audio[2 * maxFrames], &audio[3 * maxFrames] };
    float* sharedOutputs[] = { &audio[2 * maxFrames], &audio[2 * maxFrames] };

    for (int steps = 0; ! in.empty() && steps < 64; ++steps)
    {
        // The last eight step values are dispatcher requests; the others keep
        // the meaning the stored inputs were found with.
        const auto step = in.byte();

        switch (step >= 0xf8 ? 8 : step % 8)
        {
            case 0:
            case 1:
            case 2:
            {
                vsthost::EventBlock block;
                plugin.dispatch (effProcessEvents, 0, 0, hostileEvents (in, block));
                break;
            }
            case 3:
            case 4:
                plugin.forgetReceivedEvents();
                plugin.processReplacing (inputs, in.byte() & 1 ? sharedOutputs : outputs, in.byte() * 4);
                expectWellFormed (plugin.getReceivedEvents());
                break;
            case 5:
                plugin.dispatch (effSetBypass, 0, in.byte() & 1);
                break;
            case 6:
                plugin.dispatch (effMainsChanged, 0, in.byte() & 1);
                break;
            case 7:
            {
                // Foreign settings: any value for any key.
                auto values = Settings::defaults();
                const auto key = in.byte() % values.size();
                values[key] = in.int32();
                juce::MemoryBlock chunk;
                StateChunk::write (values, chunk);
                plugin.dispatch (effSetChunk, 0, (intptr_t) chunk.getSize(), chunk.getData());
                break;
            }
            default:
                anyRequest (in, plugin);
                break;
        }
    }

    return 0;
}
