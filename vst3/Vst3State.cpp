#include "Vst3State.h"

#include "StateChunk.h"

#include <juce_data_structures/juce_data_structures.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace Vst3State
{
namespace
{
uint32_t bigEndian32 (const uint8_t* p) { return (uint32_t) p[0] << 24 | (uint32_t) p[1] << 16 | (uint32_t) p[2] << 8 | p[3]; }

uint64_t littleEndian (const uint8_t* p, int numBytes)
{
    uint64_t v = 0;
    for (int i = numBytes; --i >= 0;)
        v = v << 8 | p[i];
    return v;
}

bool startsWith (const uint8_t* p, size_t size, const char* tag) { return size >= 4 && std::memcmp (p, tag, 4) == 0; }

struct Found
{
    const uint8_t* chunk;
    size_t size;
    std::optional<bool> bypassed;
};

/** Where the settings chunk lies; every offset and size is checked against
    what there is. The layouts nest at most three deep: a preset file, the
    header, the bank. */
std::optional<Found> find (const uint8_t* p, size_t size, int depth = 0)
{
    if (depth > 3)
        return {};

    if (startsWith (p, size, POLYQUINTA_CHUNK_MAGIC) && size > 8)
        return Found { p, size, {} };

    if (startsWith (p, size, "VstW") && size >= 8)
    {
        const auto headerSize = (size_t) bigEndian32 (p + 4);
        if (headerSize > size - 8)
            return {};

        auto found = find (p + 8 + headerSize, size - 8 - headerSize, depth + 1);
        if (found && headerSize >= 8)
            found->bypassed = bigEndian32 (p + 12) != 0;
        return found;
    }

    if (startsWith (p, size, "CcnK") && size >= 12)
    {
        // A bank holds its chunk at 160, a single program at 60; its size before it.
        const size_t at = std::memcmp (p + 8, "FPCh", 4) == 0 ? 60 : 160;
        if (size < at)
            return {};

        return find (p + at, std::min ((size_t) bigEndian32 (p + at - 4), size - at), depth + 1);
    }

    if (startsWith (p, size, "VST3") && size >= 48)
    {
        // A preset file: its chunk list says where the component's state lies.
        const auto list = littleEndian (p + 40, 8);
        if (list > size - 8 || ! startsWith (p + list, 4, "List"))
            return {};

        const auto entries = littleEndian (p + list + 4, 4);
        for (uint64_t i = 0; i < entries && list + 8 + 20 * (i + 1) <= size; ++i)
        {
            const auto* entry = p + list + 8 + 20 * i;
            const auto offset = littleEndian (entry + 4, 8), length = littleEndian (entry + 12, 8);

            if (std::memcmp (entry, "Comp", 4) == 0)
                return offset <= size && length <= size - offset ? find (p + offset, (size_t) length, depth + 1) : std::nullopt;
        }
    }

    return {};
}
} // namespace

std::optional<juce::MemoryBlock> forFramework (const uint8_t* state, size_t size)
{
    const auto found = state != nullptr ? find (state, size) : std::nullopt;

    // A chunk whose settings text cannot be read would change nothing: it is refused.
    if (! found || ! StateChunk::read (found->chunk, (int) std::min (found->size, (size_t) INT_MAX), [] (Settings::Key, int32_t) {}))
        return {};

    // The chunk, then the framework's own record of the bypass as it writes
    // it, which it takes off again before the processor reads the chunk;
    // without a bypass to tell, the record is empty.
    juce::MemoryBlock result (found->chunk, found->size);
    {
        juce::MemoryOutputStream trailer (result, true);
        trailer.writeInt64 (0);
        const auto recordStart = trailer.getPosition();

        if (found->bypassed)
            juce::ValueTree ("JUCEPrivateData").setProperty ("Bypass", *found->bypassed, nullptr).writeToStream (trailer);

        trailer.writeInt64 (trailer.getPosition() - recordStart);
        trailer << "JUCEPrivateData";
    }
    return result;
}
} // namespace Vst3State
