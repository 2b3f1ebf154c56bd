// One adapter's editor in the host's real native windows of this process
// (X11 or Win32): resizing the host's windows, the message thread following a
// host's editor requests; on Linux also the housekeeping timer.

#include "HostDetection.h"
#include "InProcessEditor.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>

namespace
{
// A host that sizes its window is asked to; one that refuses gets its windows resized by hand.
TEST (EditorWindow, ResizedByTheHostOrByHand)
{
    if (! haveDisplay())
        GTEST_SKIP();

    for (bool hostSizes : { false, true })
    {
        vsthost::HostBehaviour host;
        host.canSizeWindow = hostSizes;
        host.sizeWindowAnswer = hostSizes ? 1 : 0;
        OpenEditor e (host);
        ASSERT_NE (e.wrapper().getEditorWrapper(), nullptr);
        const auto frameBefore = sizeOf (e.windows, e.windows.frame);
        ASSERT_EQ (sizeOf (e.windows, e.windows.container), (std::pair<int, int> { 996, 250 }));

        e.editor().setSize (800, 200);
        e.idle (50);

        EXPECT_EQ (e.plugin.countCalls (audioMasterSizeWindow), hostSizes ? 1 : 0);
        EXPECT_EQ (e.wrapper().getEditorWrapper()->getWidth(), 800);
        if (hostSizes)
        {
            const auto asked = e.plugin.lastCall (audioMasterSizeWindow);
            EXPECT_EQ (std::make_pair (asked.index, (int) asked.value), std::make_pair (800, 200));
            EXPECT_EQ (sizeOf (e.windows, e.windows.container), (std::pair<int, int> { 996, 250 }));
            EXPECT_EQ (sizeOf (e.windows, e.windows.frame), frameBefore);
        }
        else
        {
            EXPECT_EQ (sizeOf (e.windows, e.windows.editorWindow()), (std::pair<int, int> { 800, 200 }));
            EXPECT_EQ (sizeOf (e.windows, e.windows.container), (std::pair<int, int> { 800, 200 }));
            // The frame keeps its margins (and borders) around the container.
            EXPECT_EQ (sizeOf (e.windows, e.windows.frame), (std::pair<int, int> { frameBefore.first - 196, frameBefore.second - 50 }));
        }
    }
}

#if ! defined(_WIN32) // Wine delivers the editor's timer too late and too unevenly to time it
TEST (EditorWindow, FetchedChunkIsFreedByTheTimerOnceTheEditorWasOpened)
{
    if (! haveDisplay())
        GTEST_SKIP();

    {
        // Never opened: the chunk stays until the next request.
        InProcessAdapter a;
        void* data = nullptr;
        a.dispatch (effGetChunk, 0, 0, &data);
        juce::MessageManager::getInstance()->runDispatchLoopUntil (2600);
        EXPECT_TRUE (a.wrapper().isHoldingStateChunk());
    }

    OpenEditor e;
    void* data = nullptr;
    e.dispatch (effGetChunk, 0, 0, &data);
    e.idle (1000);
    EXPECT_TRUE (e.wrapper().isHoldingStateChunk());
    e.idle (1800);
    EXPECT_FALSE (e.wrapper().isHoldingStateChunk());
}
#endif

TEST (EditorWindow, MessageThreadCorrectionFollowsTheHost)
{
    if (! haveDisplay())
        GTEST_SKIP();

    // A host known to send editor requests from another thread.
    HostDetection::setHostPathSource ([] { return juce::String ("C:\\Steinberg\\WaveLab 7\\WaveLab7.exe"); });
    {
        InProcessAdapter a;
        auto requests = std::async (std::launch::async, [&] {
            ERect* rect = nullptr;
            a.dispatch (effEditGetRect, 0, 0, &rect);
            EXPECT_TRUE (juce::MessageManager::getInstance()->isThisTheMessageThread());
            a.dispatch (effEditClose);
        });
        // This thread runs no message loop: had the message thread stayed
        // here, the requests would wait for it for ever.
        if (requests.wait_for (std::chrono::seconds (30)) != std::future_status::ready)
        {
            ADD_FAILURE() << "the editor requests are waiting for the loading thread";
            std::fflush (stdout);
            std::_Exit (1); // the request's thread cannot be joined
        }
        juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
    }

    // REAPER sends them from the message thread: it stays where it is.
    HostDetection::setHostPathSource ([] { return juce::String ("/opt/REAPER/reaper"); });
    {
        InProcessAdapter a;
        ERect* rect = nullptr;
        a.dispatch (effEditGetRect, 0, 0, &rect);
        EXPECT_TRUE (juce::MessageManager::getInstance()->isThisTheMessageThread());
    }

    HostDetection::setHostPathSource (nullptr);
}
} // namespace
