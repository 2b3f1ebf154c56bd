// The render tool's command line: options, note names and the usage text.

#include "Render.h"

#include "NoteNames.h"

#include <juce_core/juce_core.h>

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
} // namespace

int parseNote (const std::string& text)
{
    if (! text.empty() && std::isdigit ((unsigned char) text[0]))
        return parseInteger (text, "--split", 0, 127);

    if (const auto note = NoteNames::number (text))
        return *note;

    throw Error ("option --split takes a note number from 0 to 127 or a name such as C2 or F#3, not '" + text + "'");
}

std::string usage()
{
    return "usage: polyquinta-render IN.mid OUT.mid [options]\n"
           "  --split NOTE            split point: a number or a name such as C2 (middle C, 60, is C3)\n"
           "  --chord-channel N       MIDI channel of the chord notes, 1 to 16\n"
           "  --solo-channel N        MIDI channel of the melody and the harmony voices, 1 to 16\n"
           "  --harmony-cc N          controller that switches harmony on and off, 1 to 127\n"
           "  --max-voices N          most melody keys plus voices at once, 1 to 10\n"
           "  --chord-thru on|off     pass the chord notes on\n"
           "  --harmony on|off        build harmony voices\n"
           "  --voices-with-melody on|off  voices at their melody note's time, not the block's start\n"
           "  --pedals-to-both on|off      sustain, sostenuto and soft pedal to the chord and the solo channel\n"
           "  --state FILE            start from a saved state (from --save-state or a host)\n"
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

        if (a == "--split")
            o.splitPoint = parseNote (value());
        else if (a == "--chord-channel")
            o.chordChannel = parseInteger (value(), a, 1, 16);
        else if (a == "--solo-channel")
            o.soloChannel = parseInteger (value(), a, 1, 16);
        else if (a == "--harmony-cc")
            o.harmonyController = parseInteger (value(), a, 1, 127);
        else if (a == "--max-voices")
            o.maxVoices = parseInteger (value(), a, 1, 10);
        else if (a == "--chord-thru")
            o.chordThru = parseSwitch (value(), a) ? 1 : 0;
        else if (a == "--harmony")
            o.harmony = parseSwitch (value(), a) ? 1 : 0;
        else if (a == "--voices-with-melody")
            o.voicesWithMelody = parseSwitch (value(), a) ? 1 : 0;
        else if (a == "--pedals-to-both")
            o.pedalsToBoth = parseSwitch (value(), a) ? 1 : 0;
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
