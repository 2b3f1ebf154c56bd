// What real hosts do to a plug-in: many instances made and closed in any
// order, a thousand times over, on several threads.

#include "PluginFixture.h"

#include <chrono>
#include <mutex>
#include <random>
#include <thread>

namespace
{
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

    // Each instance plays on its own channel: none hears another's settings,
    // and each outlives those closed around it.
    for (int i = 0; i < 1000; ++i)
    {
        const int s = std::uniform_int_distribution<int> (0, numSlots - 1) (rng);
        std::lock_guard<std::mutex> guard (slots[s].lock);

        if (slots[s].instance == nullptr)
        {
            open (slots[s], 1 + (i % 16));
            continue;
        }

        slots[s].instance->plugin.dispatch (effMainsChanged, 0, 0);
        EXPECT_EQ (slots[s].instance->plugin.close(), 1);
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
} // namespace
