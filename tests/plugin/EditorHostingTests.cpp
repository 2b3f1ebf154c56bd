// The editor inside a host's real X11 window: the host asks for its size,
// opens it in a top-level window of its own, idles it at about 30 Hz between
// blocks, and reads back the window's pixels.

#include "AllocationCounter.h"
#include "PluginFixture.h"
#include "RandomStream.h"
#include "HostWindows.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <mutex>
#include <thread>

namespace
{
/** Idles the editor at about 30 Hz for the given time, as Linux hosts do. */
void idle (vsthost::Plugin& plugin, int milliseconds)
{
    idleFor (milliseconds, [&] { plugin.dispatch (effEditIdle); });
}

void showsPlaying (ActivePlugin& p);

// The host's user-interface thread is not the one that loaded the plug-in.
TEST (EditorHosting, ShowsPlayingInTheHostWindowOfAThreadOfItsOwn)
{
    if (! haveDisplay())
        GTEST_SKIP() << "needs a display (the test command runs under Xvfb)";

    ActivePlugin p;
    std::thread ([&] { showsPlaying (p); }).join();
}

void showsPlaying (ActivePlugin& p)
{
    HostWindow host;
    ASSERT_TRUE (host.isOpen());

    expectEditorRectangle (p.plugin);
    if (::testing::Test::HasFatalFailure())
        return;

    ASSERT_EQ (p.plugin.dispatch (effEditOpen, 0, 0, host.handle()), 1);
    ASSERT_EQ (host.children().size(), 1u);

    p.play (workedBlocks()[0].played);
    idle (p.plugin, 400);
    expectShowsTheWorkedChord (host);

    // "Learn", then key 60: the bars move to the new split.
    host.click (host.children().front(), 446, 112);
    idle (p.plugin, 200);
    p.play ({ on (1, 60, 90), off (1, 60, 0, 5) });
    idle (p.plugin, 300);
    expectSplitAt60 (host);

    // "Learn", then key 5: the refusal's message box is up when the host closes the editor.
    host.click (host.children().front(), 446, 112);
    idle (p.plugin, 100);
    p.play ({ on (1, 5, 90) });
    idle (p.plugin, 200);
    EXPECT_EQ (p.plugin.dispatch (effEditClose), 0);
    EXPECT_EQ (host.children().size(), 1u); // the editor waits for the next timer tick
    idle (p.plugin, 400);
    EXPECT_TRUE (host.children().empty());
}

} // namespace

// A host at work on one instance from three threads at once: the audio thread
// plays, the user-interface thread opens, idles, resizes and closes the editor,
// and a third saves and loads the project. Run under every sanitizer.
TEST (EditorHosting, EditorComesAndGoesWhilePlayingSavingAndLoading)
{
    if (! haveDisplay())
        GTEST_SKIP();

    ActivePlugin p (64);
    std::atomic<bool> done { false };

    std::thread audio ([&] {
        vsthost::EventBlock press, release;
        for (int i = 0; i < 8; ++i)
        {
            press.midi (i * 8, 0x90, (uint8_t) (36 + i % 4 * 3), 100).midi (i * 8 + 1, 0x90, (uint8_t) (60 + i * 2), 90);
            release.midi (i * 8, 0x80, (uint8_t) (36 + i % 4 * 3), 0).midi (i * 8 + 1, 0x80, (uint8_t) (60 + i * 2), 0);
        }
        // Dense blocks at a live host's pace: a block, then a short rest.
        while (! done)
            for (auto* block : { &press, &release })
            {
                p.run (block);
                std::this_thread::sleep_for (std::chrono::microseconds (500));
            }
    });

    std::thread project ([&] {
        for (int i = 0; ! done; ++i)
        {
            loadSettings (p.plugin, { { Settings::splitPoint, 40 + i % 30 } });
            void* saved = nullptr;
            EXPECT_GT (p.plugin.dispatch (effGetChunk, 0, 0, &saved), 200);
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
        }
    });

    std::thread gui ([&] {
        HostWindow host;
        for (int i = 0; i < 200; ++i)
        {
            ASSERT_EQ (p.plugin.dispatch (effEditOpen, 0, 0, host.handle()), 1);
            p.plugin.dispatch (effEditIdle);
            XResizeWindow (host.display, host.window, (unsigned) (996 - i % 3 * 50), 250);
            p.plugin.dispatch (effEditIdle);
            ASSERT_EQ (p.plugin.dispatch (effEditClose), 0);
            p.plugin.dispatch (effEditIdle);
        }
        EXPECT_TRUE (host.children().empty());
    });

    gui.join();
    done = true;
    audio.join();
    project.join();
}

// The audio thread's promise: random performances, panics, system-exclusive
// dumps and silent blocks, with the host bypassing and loading projects
// between them and an editor open and idling on its user-interface thread:
// no allocation, no system call, no lock but the processor's callback lock,
// taken once a block.
TEST (Realtime, BlocksNeitherAllocateNorWaitWhateverHappensAroundThem)
{
    vsthost::HostBehaviour host;
    host.copySysex = false; // the host's own copies are not the plug-in's
    ActivePlugin p (64, host);
    std::vector<vsthost::EventBlock> blocks;
    for (auto& block : recordedStreams (5, 6))
        blocks.push_back (eventsOf (block));
    blocks.push_back (eventsOf ({ cc (5, 123, 0, 3), cc (5, 120, 0, 4) }));
    blocks.push_back (eventsOf ({ on (1, 74, 80, 3), { 5, { 0xf0, 0x7e, 0x7f, 0x06, 0x01, 0xf7 } } }));
    blocks.emplace_back();
    for (auto& block : blocks)
        block.get(); // the host builds its records once, before anything is counted

    std::atomic<bool> ready { ! haveDisplay() }, done { false };
    std::thread gui ([&] {
        if (ready)
            return;
        HostWindow window;
        EXPECT_EQ (p.plugin.dispatch (effEditOpen, 0, 0, window.handle()), 1);
        ready = true;
        for (; ! done; std::this_thread::sleep_for (std::chrono::milliseconds (10)))
            p.plugin.dispatch (effEditIdle);
        p.plugin.dispatch (effEditClose);
    });
    while (! ready)
        std::this_thread::sleep_for (std::chrono::milliseconds (5));

    std::vector<std::string> projects;
    for (unsigned seed = 1; seed <= 64; ++seed)
        projects.push_back (randomProject (seed));
    auto bypassAndLoad = [&] (int i) {
        if (i % 7 == 0)
            p.bypass ((i / 7) % 2 != 0);
        if (i % 11 == 0)
        {
            AllocationCounter loading; // the counter sees the plug-in's own allocations
            p.load (projects[(size_t) (i / 11) % projects.size()]);
            EXPECT_GE (loading.count(), 1u);
        }
    };
    constexpr int warmUp = 0;
    expectRealtimeBlocks (warmUp, 20000, bypassAndLoad, [&] (int i) {
        p.plugin.dispatch (effProcessEvents, 0, 0, blocks[(size_t) (i + warmUp) % blocks.size()].get());
        p.plugin.processReplacing (p.audio.inputPointers.data(), p.audio.outputPointers.data(), p.numSamples);
    });
    EXPECT_GT (p.plugin.getNumProcessEventsCalls(), 0);

    done = true;
    gui.join();

    // And it sees locks and kernel calls where the build counts them.
    AllocationCounter blocking;
    std::mutex m;
    m.lock();
    m.unlock();
    std::this_thread::sleep_for (std::chrono::microseconds (1));
    EXPECT_EQ (blocking.mutexLocks(), AllocationCounter::countsBlockingCalls() ? 1u : 0u);
    EXPECT_EQ (blocking.blockingCalls() > 0, AllocationCounter::countsBlockingCalls());
}
