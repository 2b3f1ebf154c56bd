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

juce::String speakerArrangementName (int32_t type)
{
    static const char* const names[] = {
        "M",
        "L R",
        "Ls Rs",
        "Lc Rc",
        "Sl Sr",
        "C Lfe",
        "L R C",
        "L R S",
        "L R C Lfe",
        "L R Lfe S",
        "L R C S",
        "L R Ls Rs",
        "L R C Lfe S",
        "L R Lfe Ls Rs",
        "L R C Ls Rs",
        "L R C Lfe Ls Rs",
        "L R C Ls Rs Cs",
        "L R Ls Rs Sl Sr ",
        "L R C Lfe Ls Rs Cs",
        "L R Lfe Ls Rs Sl Sr",
        "L R C Ls Rs Lc Rc ",
        "L R C Ls Rs Sl Sr",
        "L R C Lfe Ls Rs Lc Rc",
        "L R C Lfe Ls Rs Sl Sr",
        "L R C Ls Rs Lc Rc Cs",
        "L R C Ls Rs Cs Sl Sr",
        "L R C Lfe Ls Rs Lc Rc Cs",
        "L R C Lfe Ls Rs Cs Sl Sr",
        "L R C Lfe Ls Rs Tfl Tfc Tfr Trl Trr Lfe2",
    };

    return juce::isPositiveAndBelow (type, (int32_t) std::size (names)) ? juce::String (names[type]) : juce::String();
}
} // namespace VstText
