// The render tool's command line: options, note names and the usage text.

#include "Render.h"

#include "NoteNames.h"

#include <juce_core/juce_core.h>

#include <algorithm>

namespace render
{
namespace
{
int parseInteger (const std::string& text, const std::string& option, int lo, int hi)
{
    char* end = nullptr;
    const long value = std::strtol (text.c_str(), &end, 10);

    if (text.empty() || end == nullptr || *end != 0 || value < lo || value > hi)
        throw Error ("option " + option + " takes a whole number from " + std::to_string (lo) + " to "
                     + std::to_string (hi) + ", not '" + text + "'");

    return (int) value;
}

bool parseSwitch (const std::string& text, const std::string& option)
{
    if (text == "on")
        return true;
    if (text == "off")
        return false;
    throw Error ("option " + option + " takes on or off, not '" + text + "'");
}

std::string defaultPluginPath()
{
    // Next to the tools in the build tree, installed beside the tool
    // (bin/ and lib/vst/ under one prefix), or where the build put it.
    const auto prefix = juce::File::getSpecialLocation (juce::File::currentExecutableFile).getParentDirectory().getParentDirectory();

    for (const char* place : { "plugin/Polyquinta.so", "lib/vst/Polyquinta.so" })
        if (const auto plugin = prefix.getChildFile (place); plugin.existsAsFile())
            return plugin.getFullPathName().toStdString();

    return POLYQUINTA_PLUGIN_PATH;
}
int parseNote (const std::string& text, const std::string& option)
{
    if (! text.empty() && std::isdigit ((unsigned char) text[0]))
        return parseInteger (text, option, 0, 127);

    if (const auto note = NoteNames::number (text))
        return *note;

    throw Error ("option " + option + " takes a note number from 0 to 127 or a name such as C2 or F#3, not '" + text + "'");
}

// A choice's item on the command line: "Duet above" is duet-above.
std::string itemOption (const Settings::Setting& s, int32_t value)
{
    return juce::String (s.items[value - s.lowest]).toLowerCase().replaceCharacter (' ', '-').toStdString();
}

int parseChoice (const std::string& text, const std::string& option, const Settings::Setting& s)
{
    std::string names;

    for (int32_t v = s.lowest; v <= s.highest; ++v)
    {
        if (itemOption (s, v) == text)
            return v;
        names += (names.empty() ? "" : ", ") + itemOption (s, v);
    }

    throw Error ("option " + option + " takes one of " + names + ", not '" + text + "'");
}

// What follows a setting's option in the usage text.
std::string argumentOf (const Settings::Setting& s)
{
    switch (s.kind)
    {
        case Settings::Kind::toggle: return "on|off";
        case Settings::Kind::note: return "NOTE";
        case Settings::Kind::channel:
        case Settings::Kind::number: return "N";
        case Settings::Kind::choice: break;
    }

    std::string names;
    for (int32_t v = s.lowest; v <= s.highest; ++v)
        names += (names.empty() ? "" : "|") + itemOption (s, v);
    return names;
}

int parseSetting (const std::string& text, const std::string& option, const Settings::Setting& s)
{
    switch (s.kind)
    {
        case Settings::Kind::toggle: return parseSwitch (text, option) ? 1 : 0;
        case Settings::Kind::note: return parseNote (text, option);
        case Settings::Kind::choice: return parseChoice (text, option, s);
        case Settings::Kind::channel:
        case Settings::Kind::number: break;
    }

    return parseInteger (text, option, s.lowest, s.highest);
}

std::string usageLine (const std::string& option, const std::string& text)
{
    // Two spaces at least between an option and its text: the manual page is made from these lines.
    constexpr size_t column = 26;
    const auto start = "  " + option;
    return start + std::string (start.size() + 2 > column ? 2 : column - start.size(), ' ') + text + "\n";
}
} // namespace

std::string usage()
{
    std::string text = "usage: polyquinta-render IN.mid OUT.mid [options]\n";

    for (const auto& s : Settings::table)
    {
        const bool ranged = s.kind == Settings::Kind::channel || s.kind == Settings::Kind::number;
        text += usageLine (std::string (s.flag) + " " + argumentOf (s),
                           s.help + (ranged ? ", " + std::to_string (s.lowest) + " to " + std::to_string (s.highest) : std::string()));
    }

    return text
           + "  --state FILE            start from a saved state (from --save-state or a host)\n"
             "  --save-state FILE       write the settings used as a saved state\n"
             "  --sample-rate HZ        render sample rate (default 44100)\n"
             "  --block-size N          samples per block (default 512)\n"
             "  --fixed-blocks          fixed blocks as in a live host (voices may come up to a block early)\n"
             "  --print                 list input and output notes\n"
             "  --piano-roll FILE.png   draw input and output as a piano roll\n"
             "  --plugin PATH           the plug-in library to use\n"
             "  --no-progress           no progress bar\n";
}

Options parseCommandLine (const std::vector<std::string>& args)
{
    Options o;
    std::vector<std::string> positional;

    for (size_t i = 0; i < args.size(); ++i)
    {
        const auto& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw Error ("option " + a + " needs a value");
            return args[++i];
        };

        const auto setting = std::find_if (Settings::table.begin(), Settings::table.end(), [&] (auto& s) { return a == s.flag; });

        if (setting != Settings::table.end())
            o.settings[(size_t) (setting - Settings::table.begin())] = parseSetting (value(), a, *setting);
        else if (a == "--state")
            o.statePath = value();
        else if (a == "--save-state")
            o.saveStatePath = value();
        else if (a == "--sample-rate")
            o.sampleRate = parseInteger (value(), a, 8000, 384000);
        else if (a == "--block-size")
            o.blockSize = parseInteger (value(), a, 1, 8192);
        else if (a == "--fixed-blocks")
            o.fixedBlocks = true;
        else if (a == "--print")
            o.print = true;
        else if (a == "--piano-roll")
            o.pianoRollPath = value();
        else if (a == "--plugin")
            o.pluginPath = value();
        else if (a == "--no-progress")
            o.progress = false;
        else if (a.size() > 1 && a[0] == '-')
            throw Error ("unknown option " + a);
        else
            positional.push_back (a);
    }

    if (positional.size() != 2)
        throw Error ("expected an input and an output MIDI file");

    o.input = positional[0];
    o.output = positional[1];

    if (o.pluginPath.empty())
        o.pluginPath = defaultPluginPath();

    return o;
}
} // namespace render
