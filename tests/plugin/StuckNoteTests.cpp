// Never a stuck note: whatever the host does between a key's press and its
// release, once every key is up nothing that the plug-in sent is still
// sounding, and it never ends a note that was not sounding.

#include "PluginFixture.h"
#include "RandomStream.h"

#include <sstream>

namespace
{
/** Streams through the plug-in in blocks of 64 samples. */
struct VstStreamPlayer : StreamPlayer<ActivePlugin>
{
    VstStreamPlayer() : StreamPlayer<ActivePlugin> (64) {}
};

/** A stream written as words: "on:N" / "off:N" (a key, optionally "@position"),
    "cc:C=V", "bypass:1|0", "load:<settings>", "restart", "sounding:K" (the
    number of notes sounding now), and "|" ending a block. */
void play (VstStreamPlayer& s, const std::string& script)
{
    std::istringstream words (script);
    for (std::string w; words >> w;)
    {
        const auto colon = w.find (':');
        const auto verb = w.substr (0, colon), arg = colon == std::string::npos ? "" : w.substr (colon + 1);
        const auto at = arg.find ('@');
        const int number = arg.empty() || verb == "load" ? 0 : std::stoi (arg);
        const int position = at == std::string::npos ? 0 : std::stoi (arg.substr (at + 1));

        if (verb == "|")
            s.runBlock();
        else if (verb == "on")
            s.press (number, position);
        else if (verb == "off")
            s.release (number, position);
        else if (verb == "cc")
            s.controller (number, std::stoi (arg.substr (arg.find ('=') + 1)));
        else if (verb == "bypass")
            s.bypass (number != 0);
        else if (verb == "load")
            s.load (arg);
        else if (verb == "restart")
            s.restartPlayback();
        else if (verb == "sounding")
            EXPECT_EQ (s.ledger.numSounding(), number) << "at word " << w;
        else
            FAIL() << "unknown word " << w;
    }
}

struct StuckCase
{
    const char* name;
    const char* script;
};

void PrintTo (const StuckCase& c, std::ostream* os)
{
    *os << c.name;
}

class NeverStuck : public ::testing::TestWithParam<StuckCase>
{};

TEST_P (NeverStuck, NothingSoundsOnceEveryKeyIsUp)
{
    VstStreamPlayer s;
    ASSERT_TRUE (s.format.plugin.isLoaded());
    play (s, GetParam().script);
    EXPECT_TRUE (s.ledger.stillSounding().empty()) << "still sounding:" << joined (s.ledger.stillSounding());
    EXPECT_TRUE (s.ledger.strays().empty()) << "note-offs for notes not sounding:" << joined (s.ledger.strays());
}

INSTANTIATE_TEST_SUITE_P (
    Host, NeverStuck,
    ::testing::Values (
        StuckCase { "BypassOnEveryKeyReleasedDuringBypass",
                    "on:36 on:40 on:43 on:72 | sounding:7 bypass:1 | sounding:4 off:36 off:40 off:43 off:72 | bypass:0 |" },
        StuckCase { "ChordReleasedDuringBypassMelodyAfter",
                    "on:36 on:40 on:43 on:72 | bypass:1 off:36 off:40 off:43 | bypass:0 off:72 |" },
        StuckCase { "KeysPressedDuringBypassReleasedAfter",
                    "bypass:1 on:36 on:40 on:43 on:72 | bypass:0 | off:36 off:40 off:43 off:72 |" },
        StuckCase { "ChordPressedDuringBypassHarmonizesAfter",
                    "bypass:1 on:36 on:40 on:43 | bypass:0 on:72 | sounding:7 off:72 off:36 off:40 off:43 |" },
        StuckCase { "ReleasedChordIsForgottenAfterBypass",
                    "on:36 on:40 on:43 on:72 | bypass:1 off:36 off:40 off:43 off:72 | bypass:0 on:76 | sounding:1 off:76 |" },
        StuckCase { "BypassToggledInsideOneHeldChord",
                    "on:36 on:40 | bypass:1 | on:72 | bypass:0 | on:43 | bypass:1 | bypass:0 on:74 | bypass:1 off:72 | "
                    "bypass:0 | off:74 off:36 | bypass:1 off:40 off:43 | bypass:0 |" },
        StuckCase { "StateLoadMovesChannelsAndSplit",
                    "on:36 on:40 on:43 on:72 | load:<chanOutChord>7</chanOutChord><chanOutSolo>9</chanOutSolo><splitPoint>80</splitPoint> "
                    "on:74 | off:36 off:40 off:43 off:72 off:74 |" },
        StuckCase { "StateLoadSwitchesHarmonyAndVoiceCount",
                    "on:36 on:40 on:43 on:72 | load:<harmonyEnabled>0</harmonyEnabled><maxSoloVoices>2</maxSoloVoices> on:79 | "
                    "load:<harmonyEnabled>1</harmonyEnabled> off:79 | off:72 off:36 off:40 off:43 |" },
        StuckCase { "PlaybackRestartedWhileHeld", "on:36 on:40 on:72 | restart | on:43 | restart off:36 off:40 off:43 off:72 |" },
        StuckCase { "HarmonyControllerWhileVoicesSound",
                    "on:36 on:40 on:43 on:72 | cc:32=0 | on:74 | cc:32=127 | off:72 off:74 | off:36 off:40 off:43 |" },
        StuckCase { "AllNotesOffSilencesEveryOutputChannel",
                    "on:36 on:40 on:43 on:72 | cc:123=0 | sounding:0 off:36 off:40 off:43 off:72 |" },
        StuckCase { "AllSoundOffSilencesEveryOutputChannel",
                    "on:36 on:40 on:43 on:72 | cc:120=0 | sounding:0 off:36 off:40 off:43 off:72 |" },
        StuckCase { "PanicDuringBypass", "on:36 on:40 on:72 | bypass:1 cc:123=0 | sounding:0 off:36 off:40 off:72 | bypass:0 |" },
        StuckCase { "EventsAtAndPastTheBlockEnd",
                    "on:36@63 on:40@64 on:43@100 on:72@2000000000 | off:36@64 off:40 off:43@63 off:72@64 |" }),
    [] (const auto& test) { return std::string (test.param.name); });

TEST (NeverStuck, Overload)
{
    VstStreamPlayer s;
    expectNothingStuckUnderOverload (s, 1);
}

TEST (NeverStuck, RandomStreamsOfChordsMelodiesAndHostActions)
{
    for (unsigned seed = 1; seed <= 500; ++seed)
    {
        VstStreamPlayer s;
        ASSERT_TRUE (s.format.plugin.isLoaded());
        expectNothingStuck (s, seed);
        if (HasFailure())
            break;
    }
}
} // namespace
