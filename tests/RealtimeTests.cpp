// The block function runs on the host's audio thread: in the steady state it
// must not touch the heap, whatever the player does.

#include "AllocationCounter.h"
#include "EngineHarness.h"

#include <random>

namespace
{
class RandomBlocks
{
public:
    explicit RandomBlocks (unsigned seed) : rng (seed) { midi.ensureSize (8192); }

    /** Fills the reused buffer with a random block, the way a host adapter
        refills its own buffer (no allocation once it has grown). */
    juce::MidiBuffer& next()
    {
        midi.clear();
        const int numEvents = uniform (0, 12);

        for (int i = 0; i < numEvents; ++i)
        {
            const int t = uniform (0, 511);
            const int roll = uniform (0, 19);
            juce::uint8 bytes[3];

            // Keys go down only when up and up only when down, as on a keyboard.
            if (roll < 8 && numHeld < 12)
            {
                const auto channel = (juce::uint8) uniform (0, 15);
                const auto key = (juce::uint8) uniform (24, 96);
                if (isHeld[channel][key])
                    continue;
                isHeld[channel][key] = true;
                held[numHeld++] = { channel, key };
                bytes[0] = (juce::uint8) (0x90 | channel), bytes[1] = key, bytes[2] = (juce::uint8) uniform (1, 127);
            }
            else if (roll < 16 && numHeld > 0)
            {
                const int k = uniform (0, numHeld - 1);
                const auto [channel, key] = held[k];
                held[k] = held[--numHeld];
                isHeld[channel][key] = false;
                bytes[0] = (juce::uint8) ((roll & 1 ? 0x80 : 0x90) | channel), bytes[1] = key, bytes[2] = 0;
            }
            else if (roll < 18)
                bytes[0] = (juce::uint8) (0xb0 | uniform (0, 15)), bytes[1] = (juce::uint8) (roll == 16 ? 32 : 123), bytes[2] = (juce::uint8) uniform (0, 127);
            else
                bytes[0] = (juce::uint8) (0xe0 | uniform (0, 15)), bytes[1] = 0, bytes[2] = (juce::uint8) uniform (0, 127);

            midi.addEvent (bytes, 3, t);
        }

        return midi;
    }

private:
    int uniform (int lo, int hi) { return std::uniform_int_distribution<int> (lo, hi) (rng); }

    std::mt19937 rng;
    juce::MidiBuffer midi;
    bool isHeld[16][128] {};
    std::pair<juce::uint8, juce::uint8> held[12];
    int numHeld = 0;
};

std::size_t allocationsOverRandomBlocks (myAudioProcessor& p, unsigned seed)
{
    RandomBlocks blocks (seed);
    juce::AudioBuffer<float> audio (2, 512);

    for (int i = 0; i < 2000; ++i) // warm-up: every buffer reaches its working size
        p.processBlock (audio, blocks.next());

    AllocationCounter counter;

    for (int i = 0; i < 20000; ++i)
    {
        auto& midi = blocks.next();
        p.processBlock (audio, midi);
    }

    return counter.count();
}

TEST (Realtime, BlockFunctionAllocatesNothingInSteadyState)
{
    myAudioProcessor p;
    EXPECT_EQ (allocationsOverRandomBlocks (p, 11), 0u);
}

TEST (Realtime, NothingAllocatedWhileAnEditorListens)
{
    struct Listener : juce::ChangeListener
    {
        void changeListenerCallback (juce::ChangeBroadcaster*) override {}
    } listener;

    myAudioProcessor p;
    p.addChangeListener (&listener);
    EXPECT_EQ (allocationsOverRandomBlocks (p, 12), 0u);
    p.removeChangeListener (&listener);
}

TEST (Realtime, CounterSeesAllocations)
{
    AllocationCounter counter;
    auto* block = static_cast<char*> (std::malloc (100));
    block[0] = 1;
    std::free (block);
    auto vec = std::make_unique<std::vector<int>> (1000);
    EXPECT_GE (counter.count(), 2u);
}
} // namespace
