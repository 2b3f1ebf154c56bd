// Long random performances with settings changing under the player's hands,
// split points learned, panics and the host's bypass: once every key is up
// again, nothing may still sound, nothing may be held, and no note-off may
// have ended a note that was not sounding.

#include "EngineHarness.h"
#include "NoteLedger.h"

#include <map>
#include <random>
#include <set>

namespace
{
struct Performance
{
    explicit Performance (unsigned seed) : rng (seed) {}

    int uniform (int lo, int hi) { return std::uniform_int_distribution<int> (lo, hi) (rng); }
    bool chance (double p) { return std::bernoulli_distribution (p) (rng); }

    Event randomKeyPress (int position)
    {
        // Mostly two hands around the default split, now and then anywhere.
        // A keyboard sends no second note-on for a key that is already down.
        int key, channel;
        do
        {
            key = chance (0.9) ? uniform (30, 90) : uniform (0, 127);
            channel = chance (0.8) ? 1 : uniform (1, 16);
        } while (held.count ({ channel, key }) != 0);

        held.insert ({ channel, key });
        return on (channel, key, uniform (1, 127), position);
    }

    Event release (std::pair<int, int> key, int position)
    {
        held.erase (key);
        // Half the keyboards send note-on with velocity 0 for a release.
        return chance (0.5) ? off (key.first, key.second, uniform (0, 127), position)
                            : on (key.first, key.second, 0, position);
    }

    Event randomRelease (int position)
    {
        auto it = held.begin();
        std::advance (it, uniform (0, (int) held.size() - 1));
        return release (*it, position);
    }

    Event randomController (int position, int harmonyController)
    {
        const int roll = uniform (0, 9);
        const int controller = roll < 4 ? harmonyController : roll < 5 ? 123
                                                                       : uniform (0, 127);
        return cc (uniform (1, 16), controller, uniform (0, 127), position);
    }

    void changeSettings (myAudioProcessor& p)
    {
        switch (uniform (0, 7))
        {
            case 0: p.splitPoint = uniform (0, 127); break;
            case 1: p.chanOutChord = uniform (1, 16); break;
            case 2: p.chanOutSolo = uniform (1, 16); break;
            case 3: p.chordThru = uniform (0, 1); break;
            case 4: p.maxSoloVoices = uniform (1, 10); break;
            case 5: p.ccHarmonyCtl = uniform (1, 127); break;
            case 6: p.learnSplitPoint = true; break;
            default: break;
        }
    }

    std::mt19937 rng;
    std::set<std::pair<int, int>> held; // (input channel, key)
};

/** Checks every event's bytes and follows what a receiver would hear. */
struct Receiver
{
    void play (const Events& block)
    {
        std::vector<vsthost::ReceivedEvent> received;

        for (auto& e : block)
        {
            ASSERT_FALSE (e.bytes.empty());
            ASSERT_GE (e.position, 0);

            if ((e.bytes[0] & 0xe0) == 0x80)
            {
                ASSERT_EQ (e.bytes.size(), 3u);
                ASSERT_LT (e.bytes[1], 128) << e;
                ASSERT_LT (e.bytes[2], 128) << e;
            }

            vsthost::ReceivedEvent r;
            r.type = kVstMidiType;
            std::copy_n (e.bytes.begin(), std::min<size_t> (e.bytes.size(), 3), r.midi.begin());
            received.push_back (r);
        }

        ledger.take (received, blocks++);
    }

    vsthost::NoteLedger ledger;
    int blocks = 0;
};

void perform (unsigned seed, int numBlocks)
{
    SCOPED_TRACE ("seed " + std::to_string (seed));
    Performance perf (seed);
    Receiver synth;
    myAudioProcessor p;

    bool bypassed = false;

    for (int b = 0; b < numBlocks; ++b)
    {
        if (perf.chance (0.2))
            perf.changeSettings (p);
        if (perf.chance (0.03))
            bypassed = ! bypassed;

        Events in;
        const int numEvents = perf.uniform (0, 6);
        std::vector<int> positions;
        for (int i = 0; i < numEvents; ++i)
            positions.push_back (perf.uniform (0, 255));
        std::sort (positions.begin(), positions.end());

        for (auto t : positions)
        {
            const int roll = perf.uniform (0, 9);

            if (roll < 5 && perf.held.size() < 20)
                in.push_back (perf.randomKeyPress (t));
            else if (roll < 9 && ! perf.held.empty())
                in.push_back (perf.randomRelease (t));
            else
                in.push_back (perf.randomController (t, p.ccHarmonyCtl));
        }

        synth.play (runBlock (p, in, 256, bypassed));

        if (::testing::Test::HasFatalFailure())
            return;
    }

    // Every hand leaves the keyboard, a few keys per block.
    while (! perf.held.empty())
    {
        Events in;
        for (int i = 0; i < 3 && ! perf.held.empty(); ++i)
            in.push_back (perf.randomRelease (10 * i));
        synth.play (runBlock (p, in, 256));
    }

    EXPECT_EQ (synth.ledger.stillSounding(), std::vector<std::string> {});
    EXPECT_EQ (synth.ledger.strays(), std::vector<std::string> {});
    EXPECT_TRUE (p.getVoices().isEmpty());
    EXPECT_EQ (p.countSoloNotes(), 0);
    // No chord key is left booked either: a lone top note gets no voices.
    EXPECT_LE (runBlock (p, { on (1, 127, 90) }).size(), 1u);
}

TEST (RandomPerformance, NothingHangsOnceAllKeysAreUp)
{
    for (unsigned seed = 1; seed <= 40; ++seed)
        perform (seed, 1500);
}
} // namespace
