// The editor, rendered off-screen and checked pixel by pixel, and driven
// through the same listener paths a user's clicks take.

#include "EngineHarness.h"

#include "SettingsText.h"
#include "myAudioProcessorEditor.h"

#include <cstdlib>
#include <thread>

namespace
{
template <typename Control>
Control* find (juce::Component& parent, const juce::String& name)
{
    for (auto* child : parent.getChildren())
        if (auto* c = child->getName() == name ? dynamic_cast<Control*> (child) : find<Control> (*child, name))
            return c;
    return nullptr;
}

/** A control of the editor, on its panel too. */
template <typename Control>
Control& control (juce::Component& editor, const juce::String& name)
{
    if (auto* c = find<Control> (editor, name))
        return *c;
    throw std::runtime_error ("no control " + name.toStdString());
}

std::unique_ptr<myAudioProcessorEditor> editorFor (myAudioProcessor& p)
{
    return std::make_unique<myAudioProcessorEditor> (p);
}

juce::String boxText (juce::Component& editor, const juce::String& name) { return control<juce::ComboBox> (editor, name).getText(); }
juce::String splitText (juce::Component& editor) { return control<juce::Label> (editor, "splitPointLabel").getText(); }

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

// Every setting's box, as the settings table makes them (the Parts' four among them).
std::vector<Settings::Key> boxedSettings()
{
    std::vector<Settings::Key> keys;
    for (int k = 0; k < Settings::count; ++k)
        if (const auto& s = Settings::of ((Settings::Key) k); s.label != nullptr && s.kind != Settings::Kind::toggle && s.kind != Settings::Kind::note)
            keys.push_back ((Settings::Key) k);
    return keys;
}

juce::String boxName (Settings::Key key) { return myAudioProcessorEditor::controlName (key); }

// The chord (red) and solo (blue) bars under the keyboard, at their exact
// rectangles, for splits on and off the keyboard and a foreign state's values.
TEST (EditorLayout, SplitBarsAtTheirExactRectangles)
{
    struct Bars
    {
        int32_t splitPoint;
        juce::Rectangle<int> chord, solo; // empty: none drawn
    };
    const juce::Rectangle<int> wholeSolo { 0, 229, 986, 10 }, wholeChord { 10, 229, 976, 10 };
    const Bars cases[] = {
        { 48, { 10, 229, 224, 10 }, { 234, 229, 752, 10 } },
        { 60, { 10, 229, 336, 10 }, { 346, 229, 640, 10 } },
        { 24, {}, { 10, 229, 976, 10 } },
        { 127, { 10, 229, 960, 10 }, { 970, 229, 16, 10 } },
        { 12, {}, wholeSolo },
        { -1, {}, wholeSolo },
        { INT32_MIN, {}, wholeSolo },
        { 128, wholeChord, {} },
        { INT32_MAX, wholeChord, {} },
    };

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.splitPoint);
        myAudioProcessor p;
        p.set (Settings::splitPoint, c.splitPoint);
        auto editor = editorFor (p);
        const auto image = editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f);

        for (auto [bar, colour, edge] : { std::tuple (c.chord, juce::Colours::red, 10), { c.solo, juce::Colours::blue, 985 } })
        {
            if (bar.isEmpty())
            {
                EXPECT_FALSE (filledWith (image, { edge, 229, 1, 10 }, colour));
                continue;
            }
            EXPECT_TRUE (filledWith (image, bar, colour));
            for (auto outside : { bar.withX (bar.getRight()).withWidth (1), bar.withY (239).withHeight (1), bar.withY (228).withHeight (1) })
                EXPECT_FALSE (filledWith (image, outside, colour));
        }
    }
}

//==============================================================================
TEST (EditorBehaviour, ChoosingItemsWritesOnlyThatSetting)
{
    myAudioProcessor p;
    auto editor = editorFor (p);
    // The engine below plays channel 5 and controller 64; each other box its highest item.
    for (auto setting : boxedSettings())
    {
        const auto& s = Settings::of (setting);
        const int value = setting == Settings::chanOutChord ? 5 : (setting == Settings::ccHarmonyCtl ? 64 : s.highest);
        juce::MemoryBlock before, after;
        p.getStateInformation (before);
        const auto oldValue = p.get (setting);
        control<juce::ComboBox> (*editor, boxName (setting)).setSelectedId (value - s.lowest + 1, juce::sendNotificationSync);
        EXPECT_EQ (p.get (setting), value) << s.key;

        p.set (setting, oldValue); // nothing else changed
        p.getStateInformation (after);
        EXPECT_EQ (before, after) << s.key;
        p.set (setting, value);
    }

    // A switch writes its setting when clicked.
    control<juce::ToggleButton> (*editor, "voicesWithMelodySwitch").triggerClick();
    runMessageLoop();
    EXPECT_EQ (p.get (Settings::voicesWithMelody), 1);

    // The engine uses the new channel and controller at once.
    EXPECT_EQ (runBlock (p, { on (1, 40, 100) }), (Events { on (5, 40, 100) }));
    runBlock (p, { cc (1, 32, 0) });
    EXPECT_EQ (p.get (Settings::harmonyEnabled), 1);
    runBlock (p, { cc (1, 64, 0) });
    EXPECT_EQ (p.get (Settings::harmonyEnabled), 0);
}

TEST (EditorBehaviour, LoadsLearningAndMouseKeys)
{
    myAudioProcessor p;
    auto editor = editorFor (p);

    // A state loaded while the editor is open: at its next timer tick every
    // control shows what now plays, with no note to bring a change message.
    const auto moved = settingsChunk (everySettingMovedElements());
    p.setStateInformation (moved.data(), (int) moved.size());
    for (int tick = 0; tick < 100 && splitText (*editor) == "48"; ++tick)
        runMessageLoop (10);
    EXPECT_EQ (splitText (*editor), juce::String (p.get (Settings::splitPoint)));
    const auto boxed = boxedSettings();
    for (int k = 0; k < Settings::count; ++k)
    {
        const auto key = (Settings::Key) k;
        const bool isSwitch = Settings::of (key).kind == Settings::Kind::toggle && Settings::of (key).label != nullptr;
        const auto shows = isSwitch ? juce::String (control<juce::ToggleButton> (*editor, boxName (key)).getToggleState() ? 1 : 0)
                                    : (std::find (boxed.begin(), boxed.end(), key) != boxed.end() ? boxText (*editor, boxName (key)) : juce::String());
        EXPECT_TRUE (shows.isEmpty() || shows == juce::String (Settings::valueName (key, p.get (key)))) << Settings::of (key).key << " shows " << shows;
    }

    // A foreign state's values: a box shows one it offers, or nothing, and
    // showing writes nothing back.
    for (const int32_t value : { INT32_MIN, -1, 0, 11, 17, 128, INT32_MAX })
    {
        std::string elements;
        for (auto key : boxed)
            elements += settingElements ({ { key, value } });
        const auto foreign = settingsChunk (elements);
        p.setStateInformation (foreign.data(), (int) foreign.size());
        juce::MemoryBlock before, after;
        p.getStateInformation (before);
        const auto expected = [&] (Settings::Key key) {
            const auto& s = Settings::of (key);
            return value >= s.lowest && value <= s.highest ? juce::String (Settings::valueName (key, value)) : juce::String();
        };
        const auto allShown = [&] { return std::all_of (boxed.begin(), boxed.end(), [&] (auto key) { return boxText (*editor, boxName (key)) == expected (key); }); };
        for (int tick = 0; tick < 100 && ! allShown(); ++tick)
            runMessageLoop (10);
        editor->createComponentSnapshot (editor->getLocalBounds()); // painted, as on screen
        p.getStateInformation (after);
        EXPECT_EQ (before, after) << "showing the settings wrote one back";
        for (auto key : boxed)
            EXPECT_EQ (boxText (*editor, boxName (key)), expected (key)) << Settings::of (key).key << " " << value;
    }

    // A key played with the mouse sends nothing and is no solo key.
    p.keyboardState.noteOn (1, 60, 1.0f);
    EXPECT_EQ (runBlock (p, {}), Events {});
    EXPECT_EQ (p.countSoloNotes(), 0);
    p.keyboardState.noteOff (1, 60, 0.0f);

    // Learning armed survives closing the editor, and a state load.
    control<juce::TextButton> (*editor, "learnButton").triggerClick();
    runMessageLoop();
    editor.reset();
    const auto split80 = settingsChunk ({ { Settings::splitPoint, 80 } });
    p.setStateInformation (split80.data(), (int) split80.size());
    runBlock (p, { on (1, 72, 90) });
    runMessageLoop(); // no editor listening any more
    const auto reopened = editorFor (p);
    EXPECT_EQ (splitText (*reopened), "72");
    EXPECT_EQ (control<juce::Label> (*reopened, "splitPointName").getText(), "C4"); // middle C, 60, is C3
}

//==============================================================================
// What reaches the message thread: change messages and the refused-split-point box.
TEST (ChangeMessages, NotesAndControllersNotifyLoadDoesNot)
{
    struct CountingListener : public juce::ChangeListener
    {
        void changeListenerCallback (juce::ChangeBroadcaster*) override { ++calls; }
        int calls = 0;
    } listener;

    myAudioProcessor p;
    p.addChangeListener (&listener);
    juce::MemoryBlock chunk;
    p.getStateInformation (chunk);
    p.setStateInformation (chunk.getData(), (int) chunk.getSize());

    // Several messages before delivery arrive as one.
    const std::pair<Events, int> steps[] = { { {}, 0 }, { { on (1, 36, 100), on (1, 40, 100), on (1, 72, 90) }, 1 }, { { cc (1, 32, 0) }, 2 }, { { cc (1, 7, 0), cc (1, 123, 0) }, 2 } };
    for (auto& [events, calls] : steps)
    {
        runBlock (p, events);
        runMessageLoop (30);
        EXPECT_EQ (listener.calls, calls);
    }
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
    ASSERT_EQ (alert->getNumButtons(), 1);
    for (auto* child : alert->getChildren())
        if (auto* button = dynamic_cast<juce::TextButton*> (child))
        {
            EXPECT_EQ (button->getButtonText(), "OK");
        }
    EXPECT_TRUE (alert->isCurrentlyModal());
    EXPECT_EQ (p.get (Settings::splitPoint), 48);

    alert->exitModalState (0);
    runMessageLoop (50);
    EXPECT_EQ (findAlertWindow(), nullptr);
}
} // namespace
