// What real hosts do to a plug-in: long sessions, many instances on several
// threads, and requests that no documentation dwells on.

#include "AllocationCounter.h"
#include "PluginFixture.h"
#include "RandomStream.h"

#include <chrono>
#include <mutex>
#include <random>
#include <thread>

namespace
{
/** Keeps the shared random streams' blocks (of several seeds) to hand over
    again and again; every key is up at the end of each stream. */
struct RecordingPlayer
{
    void press (int key, int position = 0, uint8_t velocity = 100) { pending.midi (position, 0x90 | keyboardChannel, (uint8_t) key, velocity); }
    void release (int key, int position = 0) { pending.midi (position, 0x80 | keyboardChannel, (uint8_t) key, 0); }
    void controller (int number, int value, uint8_t channel) { pending.midi (0, (uint8_t) (0xb0 | channel), (uint8_t) number, (uint8_t) value); }
    void bypass (bool) {}
    void restartPlayback() {}
    void load (const std::string&) {}

    void runBlock()
    {
        blocks.push_back (std::move (pending));
        pending.clear();
    }

    std::vector<vsthost::EventBlock> blocks;
    vsthost::EventBlock pending;
};

std::vector<vsthost::EventBlock> randomPerformanceBlocks (unsigned firstSeed, unsigned numStreams)
{
    RecordingPlayer recorder;
    std::vector<std::string> log;
    for (auto seed = firstSeed; seed < firstSeed + numStreams; ++seed)
        playRandomStream (recorder, seed, log);
    return std::move (recorder.blocks);
}

// Random performances, panics and silent blocks, with the host bypassing and
// loading projects between them: the blocks neither allocate nor wait.
TEST (Realtime, BlocksNeitherAllocateNorWaitWhateverHappensBetweenThem)
{
    ActivePlugin p;
    ASSERT_TRUE (p.plugin.isLoaded());
    auto blocks = randomPerformanceBlocks (5, 6);
    vsthost::EventBlock panic, silent;
    panic.midi (3, 0xb4, 123, 0).midi (4, 0xb4, 120, 0);
    blocks.push_back (std::move (panic));
    blocks.push_back (std::move (silent));
    const std::string chunks[] = { settingsChunk ({ { Settings::chanOutChord, 5 }, { Settings::chanOutSolo, 6 }, { Settings::splitPoint, 60 } }),
                                   settingsChunk ({ { Settings::chanOutChord, 1 }, { Settings::chanOutSolo, 2 }, { Settings::splitPoint, 48 } }) };

    auto bypassAndLoad = [&] (int i) {
        if (i % 7 == 0)
            p.plugin.dispatch (effSetBypass, 0, (i / 7) % 2);
        if (i % 11 == 0)
        {
            auto& chunk = chunks[(size_t) (i / 11) % 2];
            p.plugin.dispatch (effSetChunk, 0, (intptr_t) chunk.size(), const_cast<char*> (chunk.data()));
        }
    };
    constexpr int warmUp = 2000;
    auto process = [&] (int i) {
        p.plugin.dispatch (effProcessEvents, 0, 0, blocks[(size_t) (i + warmUp) % blocks.size()].get());
        p.plugin.processReplacing (p.audio.inputPointers.data(), p.audio.outputPointers.data(), p.numSamples);
    };
    expectRealtimeBlocks (warmUp, 20000, bypassAndLoad, process);
    EXPECT_GT (p.plugin.getNumProcessEventsCalls(), 10000);
}

// The counter itself: it sees the plug-in's own allocations outside the audio
// path (saving the state makes a chunk), and locks and kernel calls.
TEST (Realtime, CounterSeesAllocationsLocksAndKernelCalls)
{
    ActivePlugin p;
    void* data = nullptr;
    AllocationCounter counter;
    EXPECT_GT (p.plugin.dispatch (effGetChunk, 0, 0, &data), 0);
    EXPECT_GE (counter.count(), 1u);

    if (AllocationCounter::countsBlockingCalls())
    {
        AllocationCounter blocking;
        std::mutex m;
        m.lock();
        m.unlock();
        std::this_thread::sleep_for (std::chrono::microseconds (1));
        EXPECT_EQ (blocking.mutexLocks(), 1u);
        EXPECT_GE (blocking.blockingCalls(), 1u);
    }
}

TEST (Soak, ThousandLifecycles)
{
    auto blocks = randomPerformanceBlocks (9, 1);
    blocks.resize (8);

    for (int i = 0; i < 1000; ++i)
    {
        ActivePlugin p (128);
        ASSERT_TRUE (p.plugin.isLoaded());

        for (auto& b : blocks)
            p.run (&b);

        p.plugin.dispatch (effMainsChanged, 0, 0);
        ASSERT_EQ (p.plugin.close(), 1);
    }
}

TEST (Instances, SixteenInRandomOrderWhileTwoThreadsProcess)
{
    constexpr int numSlots = 16;

    struct Slot
    {
        std::mutex lock;
        std::unique_ptr<ActivePlugin> instance;
        int channel = 0;
    };

    Slot slots[numSlots];
    std::atomic<bool> done { false };
    std::atomic<int> wrongChannel { 0 }, blocksProcessed { 0 };

    auto open = [&] (Slot& slot, int channel) {
        slot.instance = std::make_unique<ActivePlugin> (256);
        loadSettings (slot.instance->plugin, { { Settings::chanOutSolo, channel } });
        slot.channel = channel;
    };

    auto process = [&] (int parity) {
        vsthost::EventBlock on, off;
        on.midi (0, 0x90, 72, 90);
        off.midi (0, 0x80, 72, 0);

        while (! done)
        {
            for (int s = parity; s < numSlots; s += 2)
            {
                std::lock_guard<std::mutex> guard (slots[s].lock);

                if (slots[s].instance == nullptr)
                    continue;

                for (auto* block : { &on, &off })
                {
                    const auto& out = slots[s].instance->run (block);

                    if (out.size() != 1 || (out[0].midi[0] & 0x0f) != slots[s].channel - 1)
                        ++wrongChannel;
                }

                ++blocksProcessed;
            }
        }
    };

    std::thread even (process, 0), odd (process, 1);
    std::mt19937 rng (16);

    for (int i = 0; i < 300; ++i)
    {
        const int s = std::uniform_int_distribution<int> (0, numSlots - 1) (rng);
        std::lock_guard<std::mutex> guard (slots[s].lock);

        if (slots[s].instance == nullptr)
            open (slots[s], 1 + (i % 16));
        else
            slots[s].instance.reset();
    }

    std::this_thread::sleep_for (std::chrono::milliseconds (50));
    done = true;
    even.join();
    odd.join();

    for (auto& slot : slots)
        slot.instance.reset();

    EXPECT_EQ (wrongChannel.load(), 0);
    EXPECT_GT (blocksProcessed.load(), 0);
}

TEST (Dispatcher, RandomRequestsNeverCrash)
{
    ActivePlugin p (256);
    std::mt19937 rng (100000);
    auto uniform = [&] (int64_t lo, int64_t hi) { return std::uniform_int_distribution<int64_t> (lo, hi) (rng); };

    // Pointers always point at room enough for any record; values that are
    // pointers for some opcodes are pointers there.
    std::vector<std::array<unsigned char, 4096>> memory (4);
    VstSpeakerArrangement arrangements[2] {};

    for (int i = 0; i < 100000; ++i)
    {
        int32_t opcode = (int32_t) uniform (-5, 90);
        if (opcode == effClose)
            opcode = effIdentify;

        const int32_t index = (int32_t) (uniform (0, 3) == 0 ? uniform (INT32_MIN, INT32_MAX) : uniform (-3, 3));
        intptr_t value = (intptr_t) (uniform (0, 3) == 0 ? uniform (INT32_MIN, INT32_MAX) : uniform (-3, 600));
        void* ptr = nullptr;

        for (auto& m : memory)
            m.fill (0);

        if (uniform (0, 3) != 0)
            ptr = memory[0].data();

        switch (opcode)
        {
            case effSetSpeakerArrangement:
                arrangements[0].numChannels = (int32_t) uniform (-1, 3);
                arrangements[1].numChannels = (int32_t) uniform (-1, 3);
                arrangements[0].type = arrangements[1].type = (int32_t) uniform (-2, 40);
                value = uniform (0, 1) ? (intptr_t) &arrangements[0] : 0;
                ptr = uniform (0, 1) ? &arrangements[1] : nullptr;
                break;
            case effGetSpeakerArrangement:
                value = uniform (0, 1) ? (intptr_t) memory[1].data() : 0;
                break;
            case effSetChunk:
                value = (intptr_t) uniform (-10, 4096);
                break;
            case effEditOpen:
                ptr = nullptr; // no parent window
                break;
            case effSetBlockSize:
                value = (intptr_t) uniform (-10, 8192);
                break;
            default:
                break;
        }

        const auto answer = p.plugin.dispatch (opcode, index, value, ptr, (float) uniform (-100000, 100000));

        if (opcode == effEditOpen)
        {
            ASSERT_EQ (answer, 0);
        }

        if (i % 1000 == 0)
            p.run(); // and it still processes
    }

    p.plugin.dispatch (effMainsChanged, 0, 1);
    vsthost::EventBlock note;
    note.midi (0, 0x90, 100, 90);
    EXPECT_FALSE (p.run (&note).empty());
}
} // namespace
