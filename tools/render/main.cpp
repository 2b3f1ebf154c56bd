// polyquinta-render IN.mid OUT.mid [options]: harmonize a MIDI file through the built plug-in.

#include "PianoRoll.h"
#include "Render.h"

#include "NoteNames.h"

#include <juce_events/juce_events.h>

#include <cstdio>

namespace
{
void printListing (const render::Result& result)
{
    const render::BarsAndBeats bars (result.source, std::max (0, (int) result.source.getTimeFormat()));

    auto list = [&] (const char* title, const std::vector<render::TimedEvent>& events) {
        std::printf ("%s\n      bar:beat   ch  note        velocity\n", title);

        for (auto& e : events)
        {
            if (e.bytes.size() < 3 || (e.bytes[0] & 0xf0) != 0x90 || e.bytes[2] == 0)
                continue;

            const int note = e.bytes[1];
            std::printf ("  %s  %2d  %-4s (%3d)  %3d%s\n", bars.describe (e.tick).c_str(), (e.bytes[0] & 0x0f) + 1,
                         NoteNames::name (note).c_str(), note, e.bytes[2],
                         e.isVoice ? "   voice" : "");
        }
    };

    list ("Input notes", result.input);
    std::printf ("\n");
    list ("Output notes", result.output);
    std::printf ("\n");
}
} // namespace

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI framework; // fonts for the piano roll

    std::vector<std::string> args (argv + 1, argv + argc);

    if (args.empty() || args[0] == "--help" || args[0] == "-h")
    {
        std::fputs (render::usage().c_str(), args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }

    try
    {
        const auto options = render::parseCommandLine (args);
        const auto result = render::run (options);

        if (options.print)
            printListing (result);

        const double speed = result.secondsTaken > 0 ? result.secondsOfMusic / result.secondsTaken : 0.0;
        std::printf ("polyquinta-render: %d notes in, %d notes out, %d voices added, %.1f s of music rendered %.0fx faster "
                     "than real time (%s)\n",
                     result.numNotesIn, result.numNotesOut, result.numVoices, result.secondsOfMusic, speed,
                     options.fixedBlocks ? ("fixed blocks of " + std::to_string (options.blockSize) + " samples").c_str()
                                         : "a block starts at every event, so voices sit on their melody note's tick");
        return 0;
    }
    catch (const render::Error& e)
    {
        std::fprintf (stderr, "polyquinta-render: %s\n", e.what());
        return 1;
    }
    catch (const std::exception& e)
    {
        std::fprintf (stderr, "polyquinta-render: %s\n", e.what());
        return 1;
    }
}
