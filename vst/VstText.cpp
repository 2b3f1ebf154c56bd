#include "VstText.h"

#include <cstring>

namespace VstText
{
void copy (const juce::String& text, char* destination, int bufferSize)
{
    if (destination == nullptr || bufferSize <= 0)
        return;

    const auto* utf8 = text.toRawUTF8();
    size_t length = std::min (std::strlen (utf8), (size_t) bufferSize - 1);

    // Step back to the start of a character if the cut falls inside one.
    while (length > 0 && (static_cast<unsigned char> (utf8[length]) & 0xc0) == 0x80)
        --length;

    std::memcpy (destination, utf8, length);
    destination[length] = 0;
}
} // namespace VstText
