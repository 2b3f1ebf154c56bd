// What reaches the message thread: change messages, the refused-split-point
// box, and editors made on request.

#include "EngineHarness.h"

#include <cstdlib>
#include <thread>

namespace
{
struct CountingListener : public juce::ChangeListener
{
    void changeListenerCallback (juce::ChangeBroadcaster*) override { ++calls; }
    int calls = 0;
};

void runMessageLoop (int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

TEST (ChangeMessages, NotesAndControllersNotifyLoadDoesNot)
{
    myAudioProcessor p;
    CountingListener listener;
    p.addChangeListener (&listener);

    juce::MemoryBlock chunk;
    p.getStateInformation (chunk);
    p.setStateInformation (chunk.getData(), (int) chunk.getSize());
    runMessageLoop (30);
    EXPECT_EQ (listener.calls, 0);

    // Several messages before delivery arrive as one.
    runBlock (p, { on (1, 36, 100), on (1, 40, 100), on (1, 72, 90) });
    runMessageLoop (30);
    EXPECT_EQ (listener.calls, 1);

    runBlock (p, { cc (1, 32, 0) });
    runMessageLoop (30);
    EXPECT_EQ (listener.calls, 2);

    runBlock (p, { cc (1, 7, 0), cc (1, 123, 0) });
    runMessageLoop (30);
    EXPECT_EQ (listener.calls, 2);

    p.removeChangeListener (&listener);
}

juce::AlertWindow* findAlertWindow()
{
    auto& desktop = juce::Desktop::getInstance();
    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* alert = dynamic_cast<juce::AlertWindow*> (desktop.getComponent (i)))
            return alert;
    return nullptr;
}

TEST (Learning, RefusedSplitPointShowsTheBoxWithoutBlockingTheAudioThread)
{
    if (std::getenv ("DISPLAY") == nullptr)
        GTEST_SKIP() << "needs a display (the test command runs under Xvfb)";

    myAudioProcessor p;
    p.learnSplitPoint = true;

    // The block returns at once, from a thread that is not the message thread.
    std::thread audio ([&] { runBlock (p, { on (1, 5, 90) }); });
    audio.join();
    EXPECT_EQ (findAlertWindow(), nullptr);

    runMessageLoop (100);
    auto* alert = findAlertWindow();
    ASSERT_NE (alert, nullptr);
    EXPECT_EQ (alert->getName(), "Attention");
    EXPECT_EQ (alert->getNumButtons(), 1);

    juce::String buttonText;
    for (auto* child : alert->getChildren())
        if (auto* button = dynamic_cast<juce::TextButton*> (child))
            buttonText = button->getButtonText();
    EXPECT_EQ (buttonText, "OK");
    EXPECT_TRUE (alert->isCurrentlyModal());
    EXPECT_EQ (p.splitPoint.load(), 48);

    alert->exitModalState (0);
    runMessageLoop (50);
    EXPECT_EQ (findAlertWindow(), nullptr);
}
} // namespace
