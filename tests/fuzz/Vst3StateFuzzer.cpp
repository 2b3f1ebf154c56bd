// Feeds arbitrary bytes to the VST3 guard's state reader, as a damaged
// project, a lying host or a foreign preset would. It must never crash or
// read past the bytes it was given, and whatever it hands the framework must
// be a settings chunk the saved-state reader accepts, with the framework's
// own record after it.

#include "StateChunk.h"
#include "Vst3State.h"

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

    const auto forFramework = Vst3State::forFramework (copy.get(), size);

    if (! forFramework)
        return 0;

    const auto* bytes = static_cast<const char*> (forFramework->getData());
    const auto length = forFramework->getSize();
    constexpr char trailer[] = "JUCEPrivateData";

    if (length < 8 + sizeof (trailer) - 1 || std::memcmp (bytes + length - (sizeof (trailer) - 1), trailer, sizeof (trailer) - 1) != 0)
        __builtin_trap();

    if (! StateChunk::read (bytes, (int) length, [] (Settings::Key, int32_t) {}))
        __builtin_trap();

    return 0;
}
