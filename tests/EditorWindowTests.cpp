// One adapter's editor in a real X11 window of this process: resizing the
// host's windows, and the housekeeping timer.

#include "HostDetection.h"
#include "JuceVSTWrapper.h"
#include "NativeWindows.h"
#include "WindowHostAnswers.h"

#include <gtest/gtest.h>

#include "X11HostWindow.h" // after the test framework: X11 defines None

#include <cstdlib>
#include <thread>

extern "C" AEffect* VSTPluginMain (audioMasterCallback);

namespace
{
/** A host's window: a top-level frame with a container inside, as hosts nest them. */
struct HostWindows
{
    HostWindows() : host (0, 1016, 290), frame (host.window), container (host.addContainer (10, 30, 996, 250)) {}

    std::pair<int, int> sizeOf (Window w) const { return host.sizeOf (w); }

    HostWindow host;
    Window frame, container;
};

struct OpenEditor
{
    OpenEditor() : effect (VSTPluginMain (windowHost))
    {
        effect->dispatcher (effect, effEditOpen, 0, 0, (void*) (uintptr_t) windows.container, 0.0f);
        idle (100);
    }

    ~OpenEditor() { effect->dispatcher (effect, effClose, 0, 0, nullptr, 0.0f); }

    void idle (int milliseconds)
    {
        const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) milliseconds;
        do
        {
            effect->dispatcher (effect, effEditIdle, 0, 0, nullptr, 0.0f);
            std::this_thread::sleep_for (std::chrono::milliseconds (20));
        } while (juce::Time::getMillisecondCounter() < end);
    }

    JuceVSTWrapper& wrapper() { return *static_cast<JuceVSTWrapper*> (static_cast<AudioEffect*> (effect->object)); }

    HostWindows windows;
    AEffect* effect;
};

bool haveDisplay() { return std::getenv ("DISPLAY") != nullptr; }

// A host that sizes its window is asked to; one that refuses gets its windows resized by hand.
TEST (EditorWindow, ResizedByTheHostOrByHand)
{
    if (! haveDisplay())
        GTEST_SKIP();

    for (bool hostSizes : { false, true })
    {
        answers = {};
        answers.canSizeWindow = hostSizes;
        answers.sizeWindowAnswer = hostSizes ? 1 : 0;
        OpenEditor e;
        ASSERT_NE (e.wrapper().getEditorWrapper(), nullptr);

        e.wrapper().getEditorWrapper()->getEditor()->setSize (800, 200);
        e.idle (50);

        EXPECT_EQ (answers.sizeWindowCalls, hostSizes ? 1 : 0);
        EXPECT_EQ (e.wrapper().getEditorWrapper()->getWidth(), 800);
        if (hostSizes)
        {
            EXPECT_EQ (std::make_pair (answers.lastWidth, answers.lastHeight), std::make_pair (800, 200));
            EXPECT_EQ (e.windows.sizeOf (e.windows.container), (std::pair<int, int> { 996, 250 }));
        }
        else
        {
            EXPECT_EQ (e.windows.sizeOf (e.windows.container), (std::pair<int, int> { 800, 200 }));
            EXPECT_EQ (e.windows.sizeOf (e.windows.frame), (std::pair<int, int> { 820, 240 })); // keeps its margins
        }
    }
}

TEST (EditorWindow, FetchedChunkIsFreedByTheTimerOnceTheEditorWasOpened)
{
    if (! haveDisplay())
        GTEST_SKIP();

    answers = {};
    {
        // Never opened: the chunk stays until the next request.
        auto* effect = VSTPluginMain (windowHost);
        void* data = nullptr;
        effect->dispatcher (effect, effGetChunk, 0, 0, &data, 0.0f);
        auto& wrapper = *static_cast<JuceVSTWrapper*> (static_cast<AudioEffect*> (effect->object));
        juce::MessageManager::getInstance()->runDispatchLoopUntil (2600);
        EXPECT_TRUE (wrapper.isHoldingStateChunk());
        effect->dispatcher (effect, effClose, 0, 0, nullptr, 0.0f);
    }

    OpenEditor e;
    void* data = nullptr;
    e.effect->dispatcher (e.effect, effGetChunk, 0, 0, &data, 0.0f);
    e.idle (1000);
    EXPECT_TRUE (e.wrapper().isHoldingStateChunk());
    e.idle (1800);
    EXPECT_FALSE (e.wrapper().isHoldingStateChunk());
}

TEST (EditorWindow, MessageThreadCorrectionFollowsTheHost)
{
    if (! haveDisplay())
        GTEST_SKIP();

    // A host known to send editor requests from another thread.
    HostDetection::setHostPathSource ([] { return juce::String ("C:\\Steinberg\\WaveLab 7\\WaveLab7.exe"); });
    {
        answers = {};
        auto* effect = VSTPluginMain (windowHost);
        std::thread gui ([&] {
            ERect* rect = nullptr;
            effect->dispatcher (effect, effEditGetRect, 0, 0, &rect, 0.0f);
            EXPECT_TRUE (juce::MessageManager::getInstance()->isThisTheMessageThread());
            effect->dispatcher (effect, effEditClose, 0, 0, nullptr, 0.0f);
        });
        gui.join();
        juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
        effect->dispatcher (effect, effClose, 0, 0, nullptr, 0.0f);
    }

    // REAPER sends them from the message thread: it stays where it is.
    HostDetection::setHostPathSource ([] { return juce::String ("/opt/REAPER/reaper"); });
    {
        auto* effect = VSTPluginMain (windowHost);
        ERect* rect = nullptr;
        effect->dispatcher (effect, effEditGetRect, 0, 0, &rect, 0.0f);
        EXPECT_TRUE (juce::MessageManager::getInstance()->isThisTheMessageThread());
        effect->dispatcher (effect, effClose, 0, 0, nullptr, 0.0f);
    }

    HostDetection::setHostPathSource (nullptr);
}
} // namespace
