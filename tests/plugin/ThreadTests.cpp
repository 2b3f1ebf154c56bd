// A host's two threads at work on one instance at once: the audio thread
// processes while the user-interface thread saves and loads the project.
// Run under ThreadSanitizer by the test command.

#include "PluginFixture.h"

#include <thread>

namespace
{
TEST (Threads, ProcessingWhileTheProjectIsSavedAndLoaded)
{
    ActivePlugin p (256);
    ASSERT_TRUE (p.plugin.isLoaded());
    std::atomic<bool> done { false };
    std::atomic<int> blocks { 0 }, malformed { 0 };

    std::thread audio ([&] {
        vsthost::EventBlock on, off;
        on.midi (0, 0x90, 36, 100).midi (0, 0x90, 40, 100).midi (10, 0x90, 72, 90);
        off.midi (0, 0x80, 36, 0).midi (0, 0x80, 40, 0).midi (10, 0x80, 72, 0);

        while (! done || blocks < 200)
        {
            for (auto* block : { &on, &off })
            {
                for (auto& e : p.run (block))
                    if (e.type != kVstMidiType || e.deltaFrames < 0 || (e.midi[0] & 0x80) == 0)
                        ++malformed;
            }
            ++blocks;
        }
    });

    for (int i = 0; i < 2000; ++i)
    {
        auto chunk = settingsChunk ({ { Settings::chanOutSolo, 1 + i % 16 }, { Settings::splitPoint, 30 + i % 60 } });
        EXPECT_EQ (p.plugin.dispatch (effSetChunk, 0, (intptr_t) chunk.size(), chunk.data()), 0);

        void* saved = nullptr;
        const auto size = p.plugin.dispatch (effGetChunk, 0, 0, &saved);
        ASSERT_GT (size, 200);
        EXPECT_EQ (std::memcmp (saved, "VC2!", 4), 0);

        p.plugin.dispatch (effSetBypass, 0, i % 7 == 0);
    }

    done = true;
    audio.join();
    EXPECT_EQ (malformed.load(), 0);
}
} // namespace
