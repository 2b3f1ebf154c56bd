#pragma once

// Saved settings as tests write them: elements spelled as the settings table
// spells them, and the chunk that carries them.

#include "Settings.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

/** A saved-state chunk carrying this text: the header, the length it declares
    (the text's own unless told), the text and, unless told not to, its terminator. */
inline std::string chunkWithText (const std::string& text, std::optional<uint32_t> declaredLength = {}, bool terminator = true)
{
    const auto size = declaredLength.value_or ((uint32_t) text.size());
    std::string chunk = "VC2!";
    for (int shift = 0; shift < 32; shift += 8)
        chunk += (char) ((size >> shift) & 0xff);
    return chunk + text + (terminator ? std::string (1, '\0') : std::string());
}

/** A saved-state chunk holding the given setting elements, e.g. "<splitPoint>60</splitPoint>". */
inline std::string settingsChunk (const std::string& elements)
{
    return chunkWithText ("<Root>" + elements + "</Root>");
}

/** The elements for these settings, spelled as the settings table spells them. */
inline std::string settingElements (std::initializer_list<std::pair<Settings::Key, int>> settings)
{
    std::string elements;
    for (auto [key, value] : settings)
    {
        const std::string tag = Settings::table[(size_t) key].key;
        elements += "<" + tag + ">" + std::to_string (value) + "</" + tag + ">";
    }
    return elements;
}

inline std::string settingsChunk (std::initializer_list<std::pair<Settings::Key, int>> settings)
{
    return settingsChunk (settingElements (settings));
}
