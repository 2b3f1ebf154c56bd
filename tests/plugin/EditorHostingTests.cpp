// The editor inside a host's real X11 window: the host asks for its size,
// opens it in a top-level window of its own, idles it at about 30 Hz between
// blocks, and reads back the window's pixels.

#include "AllocationCounter.h"
#include "PluginFixture.h"
#include "X11HostWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

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

    p.play ({ { 0, 0x90, 36, 100 }, { 0, 0x90, 40, 100 }, { 0, 0x90, 43, 100 }, { 10, 0x90, 72, 90 } });
    idle (p.plugin, 400);

    EXPECT_TRUE (host.colourAt (keyCentreX (72), keyY).isRed()); // the melody
    EXPECT_TRUE (host.colourAt (keyCentreX (64), keyY).isRed()); // a voice
    EXPECT_FALSE (host.colourAt (keyCentreX (62), keyY).isRed());
    EXPECT_TRUE (host.colourAt (100, barY).isRed()); // chord bar up to the split key
    EXPECT_TRUE (host.colourAt (240, barY).isBlue()); // solo bar from 48
    EXPECT_TRUE (host.colourAt (740, 90).isGreen()); // harmony on

    p.play ({ { 0, 0xb0, 32, 0 } });
    idle (p.plugin, 300);
    EXPECT_TRUE (host.colourAt (740, 90).isRed());

    // "Learn", then key 60: the bars move to the new split.
    host.click (host.children().front(), 446, 112);
    idle (p.plugin, 200);
    p.play ({ { 0, 0x90, 60, 90 }, { 5, 0x80, 60, 0 } });
    idle (p.plugin, 300);
    EXPECT_TRUE (host.colourAt (300, barY).isRed());
    EXPECT_TRUE (host.colourAt (350, barY).isBlue());

    void* chunk = nullptr;
    const auto size = p.plugin.dispatch (effGetChunk, 0, 0, &chunk);
    EXPECT_NE (std::string (static_cast<char*> (chunk), (size_t) size).find ("<splitPoint>60</splitPoint>"), std::string::npos);

    // "Learn", then key 5: the refusal's message box is up when the host closes the editor.
    host.click (host.children().front(), 446, 112);
    idle (p.plugin, 100);
    p.play ({ { 0, 0x90, 5, 90 } });
    idle (p.plugin, 200);
    EXPECT_EQ (p.plugin.dispatch (effEditClose), 0);
    EXPECT_EQ (host.children().size(), 1u); // the editor waits for the next timer tick
    idle (p.plugin, 400);
    EXPECT_TRUE (host.children().empty());
}

TEST (EditorHosting, OpenTwiceReopenAndCloseWithTheEditorOpenBesideAnotherInstance)
{
    if (! haveDisplay())
        GTEST_SKIP();

    auto a = std::make_unique<ActivePlugin>();
    ActivePlugin b;
    HostWindow first, second (300); // side by side: a covered window has no pixels to read

    // A second open moves the editor; after a close it opens again.
    EXPECT_EQ (a->plugin.dispatch (effEditOpen, 0, 0, first.handle()), 1);
    idle (a->plugin, 50);
    EXPECT_EQ (a->plugin.dispatch (effEditOpen, 0, 0, second.handle()), 1);
    idle (a->plugin, 50);
    EXPECT_TRUE (first.children().empty());
    EXPECT_EQ (second.children().size(), 1u);
    EXPECT_EQ (a->plugin.dispatch (effEditClose), 0);
    EXPECT_TRUE (second.children().empty());
    EXPECT_EQ (a->plugin.dispatch (effEditOpen, 0, 0, first.handle()), 1);

    // Idle calls from a thread of the host's own do nothing there.
    std::thread ([&] { EXPECT_EQ (a->plugin.dispatch (effEditIdle), 0); }).join();

    // Each instance's editor shows its own state.
    ASSERT_EQ (b.plugin.dispatch (effEditOpen, 0, 0, second.handle()), 1);
    b.play ({ { 0, 0xb0, 32, 0 } });
    idle (a->plugin, 150);
    idle (b.plugin, 150);
    EXPECT_TRUE (first.colourAt (740, 90).isGreen());
    EXPECT_TRUE (second.colourAt (740, 90).isRed());

    EXPECT_EQ (a->plugin.close(), 1); // with its editor open
    a.reset();
    idle (b.plugin, 100);
    EXPECT_TRUE (first.children().empty());
    EXPECT_TRUE (second.colourAt (740, 90).isRed());
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

// The audio thread's promise with an editor open and idling on the host's
// user-interface thread: no allocation, no system call, no lock but the
// processor's callback lock, taken once a block.
TEST (EditorHosting, AudioThreadNeitherAllocatesNorWaitsWhileTheEditorIdles)
{
    if (! haveDisplay())
        GTEST_SKIP();

    vsthost::HostBehaviour host;
    host.copySysex = false; // the host's own copies are not the plug-in's
    ActivePlugin p (64, host);
    std::atomic<bool> open { false }, done { false };

    std::thread gui ([&] {
        HostWindow window;
        open = p.plugin.dispatch (effEditOpen, 0, 0, window.handle()) == 1;
        while (! done)
        {
            p.plugin.dispatch (effEditIdle);
            std::this_thread::sleep_for (std::chrono::milliseconds (10));
        }
        p.plugin.dispatch (effEditClose);
    });

    while (! open)
        std::this_thread::sleep_for (std::chrono::milliseconds (5));

    std::vector<vsthost::EventBlock> blocks (4);
    blocks[0].midi (0, 0x90, 36, 100).midi (0, 0x90, 40, 100).midi (2, 0x90, 43, 100).midi (9, 0x90, 72, 90);
    blocks[1].midi (0, 0xb0, 32, 0).midi (3, 0x90, 74, 80).sysex (5, { 0xf0, 0x7e, 0x7f, 0x06, 0x01, 0xf7 }).midi (7, 0xb0, 32, 127);
    blocks[2].midi (1, 0x80, 72, 0).midi (1, 0x90, 76, 70).midi (30, 0xe0, 0, 64);
    blocks[3].midi (0, 0x80, 36, 0).midi (0, 0x80, 40, 0).midi (0, 0x80, 43, 0).midi (4, 0x80, 74, 0).midi (4, 0x80, 76, 0);

    auto bypassNowAndThen = [&] (int i) {
        if ((i & 3) == 2)
            p.plugin.dispatch (effSetBypass, 0, (i & 8) != 0);
    };
    expectRealtimeBlocks (400, 20000, bypassNowAndThen, [&] (int i) {
        p.plugin.dispatch (effProcessEvents, 0, 0, blocks[(size_t) (i & 3)].get());
        p.plugin.processReplacing (p.audio.inputPointers.data(), p.audio.outputPointers.data(), p.numSamples);
    });

    done = true;
    gui.join();
}
