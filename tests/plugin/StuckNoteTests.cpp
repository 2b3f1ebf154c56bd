// Never a stuck note: whatever the host does between a key's press and its
// release, once every key is up nothing that the plug-in sent is still
// sounding, and it never ends a note that was not sounding.

#include "NoteLedger.h"
#include "PluginFixture.h"

#include <random>
#include <sstream>

namespace
{
constexpr uint8_t keyboardChannel = 4; // the player's keyboard sends on channel 5

/** Plays a stream through the plug-in and follows its output in a ledger. */
struct StreamPlayer
{
    StreamPlayer() : p (64) {}

    void press (int key, int position = 0, uint8_t velocity = 100) { pending.midi (position, 0x90 | keyboardChannel, (uint8_t) key, velocity); }
    void release (int key, int position = 0) { pending.midi (position, 0x80 | keyboardChannel, (uint8_t) key, 0); }
    void controller (int number, int value, uint8_t channel = keyboardChannel) { pending.midi (0, 0xb0 | channel, (uint8_t) number, (uint8_t) value); }

    void bypass (bool on) { p.plugin.dispatch (effSetBypass, 0, on ? 1 : 0); }
    void restartPlayback()
    {
        p.plugin.dispatch (effMainsChanged, 0, 0);
        p.plugin.dispatch (effSetSampleRate, 0, 0, nullptr, 48000.0f);
        p.plugin.dispatch (effMainsChanged, 0, 1);
    }

    void runBlock()
    {
        ledger.take (p.run (&pending), blocks++);
        pending.clear();
    }

    ActivePlugin p;
    vsthost::EventBlock pending;
    vsthost::NoteLedger ledger;
    int blocks = 0;
};

/** A stream written as words: "on:N" / "off:N" (a key, optionally "@position"),
    "cc:C=V", "bypass:1|0", "load:<settings>", "restart", "sounding:K" (the
    number of notes sounding now), and "|" ending a block. */
void play (StreamPlayer& s, const std::string& script)
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
            loadSettings (s.p.plugin, arg);
        else if (verb == "restart")
            s.restartPlayback();
        else if (verb == "sounding")
            EXPECT_EQ (s.ledger.numSounding(), number) << "at word " << w;
        else
            FAIL() << "unknown word " << w;
    }
}

std::string joined (const std::vector<std::string>& lines)
{
    std::string text;
    for (auto& line : lines)
        text += "\n  " + line;
    return text;
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
    StreamPlayer s;
    ASSERT_TRUE (s.p.plugin.isLoaded());
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
    [] (const auto& info) { return std::string (info.param.name); });

/** A random stream: chords, melodies and everything a host may do between
    them; every key is released at the end. Its words are kept for a report. */
void playRandomStream (StreamPlayer& s, unsigned seed, std::vector<std::string>& log)
{
    std::mt19937 rng (seed);
    auto chance = [&] (int percent) { return (int) (rng() % 100) < percent; };
    auto pick = [&] (int lo, int hi) { return lo + (int) (rng() % (unsigned) (hi - lo + 1)); };
    std::vector<int> held;
    auto note = [&] (const char* verb, int key, int position) { log.push_back (std::string (verb) + ":" + std::to_string (key) + "@" + std::to_string (position)); };

    for (int block = 0; block < 40; ++block)
    {
        if (chance (10))
        {
            const bool on = chance (50);
            s.bypass (on);
            log.push_back (on ? "bypass:1" : "bypass:0");
        }
        if (chance (5))
        {
            s.restartPlayback();
            log.push_back ("restart");
        }
        if (chance (8))
        {
            const auto settings = settingElements ({ { Settings::chordThru, pick (0, 1) }, { Settings::chanOutChord, pick (1, 16) }, { Settings::chanOutSolo, pick (1, 16) }, { Settings::splitPoint, pick (40, 70) }, { Settings::harmonyEnabled, pick (0, 1) }, { Settings::maxSoloVoices, pick (1, 10) } });
            loadSettings (s.p.plugin, settings);
            log.push_back ("load:" + settings);
        }

        // Positions rise through the block, now and then past its end, as a host's may.
        int position = 0;
        for (int e = pick (0, 8); e > 0; --e)
        {
            position += chance (5) ? pick (30, 100) : pick (0, 10);
            if (chance (8))
            {
                const int number = chance (50) ? 32 : (chance (50) ? 123 : 120);
                const int value = pick (0, 127);
                s.controller (number, value, (uint8_t) pick (0, 15));
                log.push_back ("cc:" + std::to_string (number) + "=" + std::to_string (value));
            }
            else if (! held.empty() && chance (45))
            {
                const auto i = (size_t) pick (0, (int) held.size() - 1);
                s.release (held[i], position);
                note ("off", held[i], position);
                held.erase (held.begin() + (long) i);
            }
            else
            {
                const int key = chance (50) ? pick (30, 50) : pick (55, 90);
                if (std::find (held.begin(), held.end(), key) != held.end())
                    continue; // a key is pressed again only once released
                s.press (key, position, (uint8_t) pick (1, 127));
                note ("on", key, position);
                held.push_back (key);
            }
        }

        s.runBlock();
        log.push_back ("|");
    }

    for (int key : held)
    {
        s.release (key);
        note ("off", key, 0);
    }
    s.runBlock();
    log.push_back ("|");
}

TEST (NeverStuck, RandomStreamsOfChordsMelodiesAndHostActions)
{
    for (unsigned seed = 1; seed <= 500; ++seed)
    {
        StreamPlayer s;
        ASSERT_TRUE (s.p.plugin.isLoaded());
        std::vector<std::string> log;
        playRandomStream (s, seed, log);

        if (! s.ledger.stillSounding().empty() || ! s.ledger.strays().empty())
        {
            std::string tail;
            for (size_t i = log.size() > 60 ? log.size() - 60 : 0; i < log.size(); ++i)
                tail += log[i] + " ";
            FAIL() << "seed " << seed << "\nstill sounding:" << joined (s.ledger.stillSounding())
                   << "\nnote-offs for notes not sounding:" << joined (s.ledger.strays()) << "\nlast words: " << tail;
        }
    }
}
} // namespace
