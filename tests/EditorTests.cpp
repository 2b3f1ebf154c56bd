// The editor, rendered off-screen and checked pixel by pixel, and driven
// through the same listener paths a user's clicks take.

#include "EngineHarness.h"

#include "myAudioProcessorEditor.h"

#include <cstdlib>
#include <thread>

namespace
{
template <typename Control>
Control& control (juce::Component& editor, const juce::String& name)
{
    for (auto* child : editor.getChildren())
        if (child->getName() == name)
            if (auto* c = dynamic_cast<Control*> (child))
                return *c;

    throw std::runtime_error ("no control " + name.toStdString());
}

std::unique_ptr<myAudioProcessorEditor> editorFor (myAudioProcessor& p)
{
    return std::unique_ptr<myAudioProcessorEditor> (static_cast<myAudioProcessorEditor*> (p.createEditor()));
}

juce::Image snapshot (juce::Component& editor)
{
    return editor.createComponentSnapshot (editor.getLocalBounds(), true, 1.0f);
}

/** Whether every pixel of the rectangle (clipped to the image) has the colour. */
bool filledWith (const juce::Image& image, juce::Rectangle<int> area, juce::Colour colour)
{
    area = area.getIntersection (image.getBounds());
    if (area.isEmpty())
        return false;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (image.getPixelAt (x, y).getARGB() != colour.getARGB())
                return false;
    return true;
}

const auto red = juce::Colours::red, blue = juce::Colours::blue;

TEST (EditorLayout, ControlsTextsAndBounds)
{
    myAudioProcessor p;
    auto editor = editorFor (p);

    EXPECT_EQ (editor->getWidth(), 996);
    EXPECT_EQ (editor->getHeight(), 250);

    const std::pair<const char*, const char*> captions[] = {
        { "chordChannelLabel", "MIDI channel out chord" },
        { "soloChannelLabel", "MIDI channel out solo" },
        { "splitPointTitle", "Splitpoint" },
        { "ccHarmonyLabel", "CC Harmony on/off" },
        { "maxVoicesLabel", "Max. Solo voices" },
    };
    for (auto [name, text] : captions)
        EXPECT_EQ (control<juce::Label> (*editor, name).getText(), text) << name;

    EXPECT_EQ (control<juce::TextButton> (*editor, "learnButton").getButtonText(), "Learn");
    EXPECT_EQ (control<juce::TextButton> (*editor, "learnButton").getBounds(), juce::Rectangle<int> (416, 100, 60, 24));
    EXPECT_EQ (control<juce::ComboBox> (*editor, "ccHarmonyBox").getBounds(), juce::Rectangle<int> (655, 80, 80, 24));
    EXPECT_EQ (control<juce::Label> (*editor, "splitPointLabel").getBounds(), juce::Rectangle<int> (348, 100, 60, 24));

    auto& keyboard = control<juce::MidiKeyboardComponent> (*editor, "midiKeyboard");
    EXPECT_EQ (keyboard.getBounds(), juce::Rectangle<int> (10, 160, 976, 64));
    EXPECT_EQ (keyboard.getRangeStart(), 24);
    EXPECT_EQ (keyboard.getRangeEnd(), 127);
    EXPECT_EQ (keyboard.getLowestVisibleKey(), 24);

    EXPECT_EQ (control<juce::ComboBox> (*editor, "chordChannelBox").getNumItems(), 16);
    EXPECT_EQ (control<juce::ComboBox> (*editor, "ccHarmonyBox").getNumItems(), 127);
    EXPECT_EQ (control<juce::ComboBox> (*editor, "maxVoicesBox").getNumItems(), 10);
    EXPECT_FALSE (control<juce::ComboBox> (*editor, "ccHarmonyBox").getTooltip().isEmpty());
    EXPECT_FALSE (control<juce::ComboBox> (*editor, "maxVoicesBox").getTooltip().isEmpty());
}

//==============================================================================
struct BarCase
{
    int splitPoint;
    juce::Rectangle<int> chordBar, soloBar; // an empty chord bar: none drawn
};

class SplitBars : public ::testing::TestWithParam<BarCase>
{};

TEST_P (SplitBars, AtTheirExactRectangles)
{
    const auto& c = GetParam();
    myAudioProcessor p;
    p.splitPoint = c.splitPoint;
    auto editor = editorFor (p);
    const auto image = snapshot (*editor);

    if (! c.chordBar.isEmpty())
    {
        EXPECT_TRUE (filledWith (image, c.chordBar, red));
        EXPECT_FALSE (filledWith (image, c.chordBar.withX (c.chordBar.getRight()).withWidth (1), red));
    }
    else
    {
        EXPECT_FALSE (filledWith (image, { 10, 229, 1, 10 }, red));
    }

    if (c.soloBar.isEmpty())
    {
        EXPECT_FALSE (filledWith (image, { 985, 229, 1, 10 }, blue));
        return;
    }

    EXPECT_TRUE (filledWith (image, c.soloBar, blue));
    EXPECT_FALSE (filledWith (image, c.soloBar.withX (c.soloBar.getRight()).withWidth (1), blue));
    EXPECT_FALSE (filledWith (image, c.soloBar.withY (239).withHeight (1), blue));
    EXPECT_FALSE (filledWith (image, c.soloBar.withY (228).withHeight (1), blue));
}

INSTANTIATE_TEST_SUITE_P (Editor, SplitBars,
                          ::testing::Values (BarCase { 48, { 10, 229, 224, 10 }, { 234, 229, 752, 10 } },
                                             BarCase { 60, { 10, 229, 336, 10 }, { 346, 229, 640, 10 } },
                                             BarCase { 24, {}, { 10, 229, 976, 10 } },
                                             BarCase { 127, { 10, 229, 960, 10 }, { 970, 229, 16, 10 } },
                                             BarCase { 12, {}, { 0, 229, 986, 10 } },
                                             BarCase { 11, {}, { 0, 229, 986, 10 } },
                                             BarCase { 0, {}, { 0, 229, 986, 10 } },
                                             // A foreign saved state: the whole keyboard is one area.
                                             BarCase { -1, {}, { 0, 229, 986, 10 } },
                                             BarCase { -13, {}, { 0, 229, 986, 10 } },
                                             BarCase { INT32_MIN, {}, { 0, 229, 986, 10 } },
                                             BarCase { 128, { 10, 229, 976, 10 }, {} },
                                             BarCase { INT32_MAX, { 10, 229, 976, 10 }, {} }),
                          [] (const auto& info) {
                              const auto n = info.param.splitPoint;
                              return (n < 0 ? "SplitMinus" : "Split") + std::to_string (std::abs ((int64_t) n));
                          });

TEST (EditorLayout, BoxesShowEveryStoredValueOrNothingAndWriteNothing)
{
    for (const int32_t value : { INT32_MIN, -13, -1, 0, 1, 10, 11, 12, 16, 17, 24, 127, 128, INT32_MAX })
    {
        myAudioProcessor p;
        p.chanOutChord = p.chanOutSolo = p.ccHarmonyCtl = p.maxSoloVoices = value;
        juce::MemoryBlock before, after;
        p.getStateInformation (before);
        auto editor = editorFor (p);
        snapshot (*editor);
        runMessageLoop (10);
        p.getStateInformation (after);
        EXPECT_EQ (before, after) << "showing the settings wrote one back";
        EXPECT_EQ (control<juce::Label> (*editor, "splitPointLabel").getText(), "48");

        for (auto [name, items] : { std::pair ("chordChannelBox", 16), { "soloChannelBox", 16 }, { "ccHarmonyBox", 127 }, { "maxVoicesBox", 10 } })
        {
            const auto expected = value >= 1 && value <= items ? juce::String (value) : juce::String();
            EXPECT_EQ (control<juce::ComboBox> (*editor, name).getText(), expected) << name << " " << value;
        }
    }
}

//==============================================================================
TEST (EditorBehaviour, ChoosingItemsWritesOnlyThatSetting)
{
    myAudioProcessor p;
    auto editor = editorFor (p);

    struct Choice
    {
        const char* box;
        int item;
        std::atomic<int32_t>* setting;
    };
    const Choice choices[] = { { "chordChannelBox", 5, &p.chanOutChord }, { "soloChannelBox", 9, &p.chanOutSolo }, { "ccHarmonyBox", 64, &p.ccHarmonyCtl }, { "maxVoicesBox", 1, &p.maxSoloVoices } };

    for (auto& choice : choices)
    {
        juce::MemoryBlock before;
        p.getStateInformation (before);
        const auto oldValue = choice.setting->load();

        control<juce::ComboBox> (*editor, choice.box).setSelectedId (choice.item, juce::sendNotificationSync);
        EXPECT_EQ (choice.setting->load(), choice.item) << choice.box;

        // Nothing else changed.
        *choice.setting = oldValue;
        juce::MemoryBlock after;
        p.getStateInformation (after);
        EXPECT_EQ (before, after) << choice.box;
        *choice.setting = choice.item;
    }

    // The engine uses the new channel at once.
    EXPECT_EQ (runBlock (p, { on (1, 40, 100) }), (Events { on (5, 40, 100) }));
    runBlock (p, { cc (1, 32, 0) });
    EXPECT_EQ (p.harmonyEnabled.load(), 1);
    runBlock (p, { cc (1, 64, 0) });
    EXPECT_EQ (p.harmonyEnabled.load(), 0);
}

TEST (EditorBehaviour, LoadedStateLeavesOpenBoxesAloneNewEditorShowsIt)
{
    myAudioProcessor p;
    auto editor = editorFor (p);

    myAudioProcessor other;
    other.chanOutSolo = 7;
    other.splitPoint = 55;
    juce::MemoryBlock chunk;
    other.getStateInformation (chunk);
    p.setStateInformation (chunk.getData(), (int) chunk.getSize());
    runMessageLoop();

    EXPECT_EQ (control<juce::ComboBox> (*editor, "soloChannelBox").getText(), "2");
    EXPECT_EQ (control<juce::Label> (*editor, "splitPointLabel").getText(), "48");

    // The next note's change message brings the number up to date.
    runBlock (p, { on (1, 30, 90) });
    runMessageLoop();
    EXPECT_EQ (control<juce::Label> (*editor, "splitPointLabel").getText(), "55");
    EXPECT_EQ (control<juce::ComboBox> (*editor, "soloChannelBox").getText(), "2");

    auto fresh = editorFor (p);
    EXPECT_EQ (control<juce::ComboBox> (*fresh, "soloChannelBox").getText(), "7");
}

TEST (EditorBehaviour, LearningArmedSurvivesClosingTheEditor)
{
    myAudioProcessor p;
    {
        auto editor = editorFor (p);
        control<juce::TextButton> (*editor, "learnButton").triggerClick();
        runMessageLoop();
    }

    runBlock (p, { on (1, 72, 90) });
    runMessageLoop(); // no editor listening any more

    auto editor = editorFor (p);
    EXPECT_EQ (control<juce::Label> (*editor, "splitPointLabel").getText(), "72");
}

TEST (EditorBehaviour, MousePlayedKeysChangeNothingElse)
{
    myAudioProcessor p;
    auto editor = editorFor (p);

    p.keyboardState.noteOn (1, 60, 1.0f); // as a click on the on-screen key does
    EXPECT_EQ (runBlock (p, {}), Events {});
    EXPECT_EQ (p.countSoloNotes(), 0);
    p.keyboardState.noteOff (1, 60, 0.0f);
}
//==============================================================================
// What reaches the message thread: change messages and the refused-split-point box.

struct CountingListener : public juce::ChangeListener
{
    void changeListenerCallback (juce::ChangeBroadcaster*) override { ++calls; }
    int calls = 0;
};

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
