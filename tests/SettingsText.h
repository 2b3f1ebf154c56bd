#pragma once

// Saved settings as tests write them: elements spelled as the settings table
// spells them, and the chunk that carries them.

#include "Settings.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

/** The elements for every setting in the table, each at a random value it
    offers (`pick (lo, hi)`), unless given a narrower range here or left out. */
template <typename Pick>
std::string randomSettingElements (Pick&& pick, std::initializer_list<std::pair<Settings::Key, std::pair<int, int>>> narrower = {},
                                   std::initializer_list<Settings::Key> leftOut = {})
{
    std::string elements;
    for (int k = 0; k < Settings::count; ++k)
    {
        const auto key = (Settings::Key) k;
        if (std::find (leftOut.begin(), leftOut.end(), key) != leftOut.end())
            continue;
        auto range = std::pair<int, int> (Settings::of (key).lowest, Settings::of (key).highest);
        for (auto& [narrowed, to] : narrower)
            if (narrowed == key)
                range = to;
        elements += settingElements ({ { key, pick (range.first, range.second) } });
    }
    return elements;
}

/** Each setting at a value it offers other than its default: what each
    format's saved state must carry back. */
inline std::vector<std::pair<Settings::Key, int>> everySettingMoved()
{
    std::vector<std::pair<Settings::Key, int>> rows;
    for (int k = 0; k < Settings::count; ++k)
    {
        const auto& s = Settings::of ((Settings::Key) k);
        rows.push_back ({ (Settings::Key) k, s.defaultValue != s.highest ? s.highest : s.lowest });
    }
    return rows;
}

/** The elements of everySettingMoved(), in the table's order, as every format writes them. */
inline std::string everySettingMovedElements()
{
    std::string elements;
    for (auto [key, value] : everySettingMoved())
        elements += settingElements ({ { key, value } });
    return elements;
}
