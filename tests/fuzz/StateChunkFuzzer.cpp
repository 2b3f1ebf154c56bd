// Feeds arbitrary bytes to the saved-state reader, as a damaged or foreign
// project would. Every value read must come from a well-formed text, and the
// reader must never crash or read past the bytes it was given.

#include "StateChunk.h"

#include <cstdint>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    // An exact-size copy, so that AddressSanitizer sees any read past the end.
    std::unique_ptr<uint8_t[]> copy (new uint8_t[size == 0 ? 1 : size]);
    if (size > 0)
        std::memcpy (copy.get(), data, size);

    int stores = 0;
    StateChunk::read (copy.get(), (int) size, [&] (int key, int32_t) {
        if (key < 0 || key >= Settings::count)
            __builtin_trap();
        ++stores;
    });

    // Whatever was read writes back into a chunk that reads the same way.
    if (stores > 0)
    {
        Settings::Values values {};
        StateChunk::read (copy.get(), (int) size, [&] (int key, int32_t v) { values[(size_t) key] = v; });

        juce::MemoryBlock chunk;
        StateChunk::write (values, chunk);

        Settings::Values again {};
        StateChunk::read (chunk.getData(), (int) chunk.getSize(), [&] (int key, int32_t v) { again[(size_t) key] = v; });

        // A switch that is off is not written, so it reads back absent.
        for (size_t k = 0; k < values.size(); ++k)
            if (! Settings::isWritten ((Settings::Key) k, values[k]))
                values[k] = 0;

        if (again != values)
            __builtin_trap();
    }

    return 0;
}
