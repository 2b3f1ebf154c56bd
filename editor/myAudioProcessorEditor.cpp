#include "myAudioProcessorEditor.h"

#include "BinaryData.h"
#include "NoteNames.h"

#include <algorithm>

namespace
{
constexpr int editorWidth = 996, editorHeight = 250;
constexpr int lowestKey = 24, highestKey = 127;
constexpr int settingsWatchMilliseconds = 30;

/** Controls carry their member names, so that they can be found by name. */
template <typename Control, typename... Args>
std::unique_ptr<Control> makeControl (juce::Component& parent, const juce::String& name, Args&&... args)
{
    auto control = std::make_unique<Control> (std::forward<Args> (args)...);
    control->setName (name);
    parent.addAndMakeVisible (*control);
    return control;
}

/** The first item shows the setting's lowest value; a saved state may hold
    any 32-bit value, which leaves the box empty when no item has it. */
void showSetting (juce::ComboBox& box, const Settings::Setting& s, int32_t value)
{
    const bool hasItem = value >= s.lowest && value <= s.highest;
    box.setSelectedItemIndex (hasItem ? (int) (value - s.lowest) : -1, juce::dontSendNotification);
}

/** The four first choice boxes: their names and places, with their captions to their left. */
struct Place
{
    Settings::Key key;
    const char *control, *caption;
    juce::Rectangle<int> controlBounds, captionBounds;
};

const Place fixedPlaces[] = {
    { Settings::chanOutChord, "chordChannelBox", "chordChannelLabel", { 156, 80, 80, 24 }, { 16, 80, 130, 24 } },
    { Settings::chanOutSolo, "soloChannelBox", "soloChannelLabel", { 156, 120, 80, 24 }, { 16, 120, 130, 24 } },
    { Settings::ccHarmonyCtl, "ccHarmonyBox", "ccHarmonyLabel", { 655, 80, 80, 24 }, { 515, 80, 130, 24 } },
    { Settings::maxSoloVoices, "maxVoicesBox", "maxVoicesLabel", { 655, 120, 80, 24 }, { 515, 120, 130, 24 } },
};

// Every other setting's control, one a row, in the column beside them:
// three rows between the title band and the keyboard; the rest in the
// panel's cells, two rows of four, over the keyboard.
constexpr int freeColumnX = 775, freeColumnY = 66, freeRowStep = 32, freeRows = 3;
const juce::Rectangle<int> panelBounds { 10, 160, 976, 64 }, panelButtonBounds { 416, 132, 60, 22 };

const Place* fixedPlaceOf (Settings::Key key)
{
    for (auto& place : fixedPlaces)
        if (place.key == key)
            return &place;
    return nullptr;
}

bool hasControl (const Settings::Setting& s) { return s.label != nullptr && s.kind != Settings::Kind::note; }
} // namespace

juce::String myAudioProcessorEditor::controlName (Settings::Key key)
{
    if (const auto* place = fixedPlaceOf (key))
        return place->control;
    return juce::String (Settings::of (key).key) + (Settings::of (key).kind == Settings::Kind::toggle ? "Switch" : "Box");
}

myAudioProcessorEditor::myAudioProcessorEditor (myAudioProcessor& owner)
    : AudioProcessorEditor (owner)
{
    JUCE_ASSERT_MESSAGE_THREAD
    createKeyboard (owner);

    learnButton = makeControl<juce::TextButton> (*this, "learnButton", "Learn");
    learnButton->setColour (juce::TextButton::buttonColourId, juce::Colour (0xff801e00));
    learnButton->setColour (juce::TextButton::textColourOffId, juce::Colours::azure);
    learnButton->setTooltip ("Press button and note for splitpoint selection");
    learnButton->addListener (this);

    splitPointTitle = makeCaption (*this, "splitPointTitle", Settings::of (Settings::splitPoint).label);
    createSplitPointDisplay();
    createSettingControls();

    backgroundImage = juce::ImageCache::getFromMemory (PolyquintaBinaryData::background_png, PolyquintaBinaryData::background_pngSize);
    setSize (editorWidth, editorHeight);
    owner.addChangeListener (this);

    showProcessor();
    settingsWatch.startTimer (settingsWatchMilliseconds);
}

void myAudioProcessorEditor::createKeyboard (myAudioProcessor& owner)
{
    {
        // The keyboard registers with the note states that the audio thread
        // notifies without a lock of their own: only while no block runs.
        const juce::ScopedLock sl (owner.getCallbackLock());
        midiKeyboard = std::make_unique<juce::MidiKeyboardComponent> (owner.keyboardState,
                                                                      juce::MidiKeyboardComponent::horizontalKeyboard);
    }

    midiKeyboard->setName ("midiKeyboard");
    addAndMakeVisible (*midiKeyboard);
    midiKeyboard->setAvailableRange (lowestKey, highestKey);
    midiKeyboard->setLowestVisibleKey (lowestKey);
    midiKeyboard->setOctaveForMiddleC (NoteNames::octaveForMiddleC);
    midiKeyboard->setColour (juce::MidiKeyboardComponent::keyDownOverlayColourId, juce::Colours::red);
}

juce::Component& myAudioProcessorEditor::parentFor (int freeIndex)
{
    if (freeIndex < freeRows)
        return *this;

    if (panel == nullptr)
    {
        panel = makeControl<Panel> (*this, "harmonyPanel");
        panel->setVisible (false);
        panelButton = makeControl<juce::TextButton> (*this, "harmonyPanelButton", "More");
        panelButton->setColour (juce::TextButton::buttonColourId, juce::Colour (0xff801e00));
        panelButton->setColour (juce::TextButton::textColourOffId, juce::Colours::azure);
        panelButton->setTooltip ("Shows the other harmony settings over the keyboard, and the keyboard again");
        panelButton->addListener (this);
    }
    return *panel;
}

void myAudioProcessorEditor::Panel::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff3a1200));
    g.setColour (juce::Colour (0xff801e00));
    g.drawRect (getLocalBounds());
}

void myAudioProcessorEditor::createSettingControls()
{
    int freeCount = 0;

    for (int k = 0; k < Settings::count; ++k)
    {
        const auto key = (Settings::Key) k;
        const auto& s = Settings::of (key);

        if (! hasControl (s))
            continue;

        SettingControl c { key, {}, {}, {}, fixedPlaceOf (key) == nullptr ? freeCount++ : -1 };
        auto& parent = c.freeIndex < 0 ? static_cast<juce::Component&> (*this) : parentFor (c.freeIndex);

        if (s.kind == Settings::Kind::toggle)
        {
            c.toggle = makeControl<juce::ToggleButton> (parent, controlName (key), s.label);
            c.toggle->setColour (juce::ToggleButton::textColourId, juce::Colours::white);
            c.toggle->setColour (juce::ToggleButton::tickColourId, juce::Colours::white);
            c.toggle->setColour (juce::ToggleButton::tickDisabledColourId, juce::Colours::white.withAlpha (0.6f));
            c.toggle->setTooltip (s.tooltip);
            c.toggle->addListener (this);
        }
        else
        {
            c.box = makeControl<juce::ComboBox> (parent, controlName (key));
            c.box->setEditableText (false);
            c.box->setJustificationType (juce::Justification::centredRight);
            c.box->setTextWhenNothingSelected ({});
            c.box->addListener (this);
            c.box->setTooltip (s.tooltip);

            for (int32_t v = s.lowest; v <= s.highest; ++v)
                c.box->addItem (Settings::valueName (key, v), (int) (v - s.lowest + 1));

            const auto* place = fixedPlaceOf (key);
            c.caption = makeCaption (parent, place != nullptr ? juce::String (place->caption) : juce::String (s.key) + "Label", s.label);
        }

        settingControls.push_back (std::move (c));
    }
}

juce::ComboBox& myAudioProcessorEditor::boxOf (Settings::Key key) const
{
    const auto found = std::find_if (settingControls.begin(), settingControls.end(), [&] (auto& c) { return c.key == key; });
    jassert (found != settingControls.end() && found->box != nullptr);
    return *found->box;
}

std::unique_ptr<juce::Label> myAudioProcessorEditor::makeCaption (juce::Component& parent, const juce::String& name, const char* text)
{
    auto label = makeControl<juce::Label> (parent, name, juce::String(), text);
    label->setFont (juce::Font (15.0f, juce::Font::plain));
    label->setJustificationType (juce::Justification::centredLeft);
    label->setColour (juce::Label::textColourId, juce::Colours::white);
    return label;
}

void myAudioProcessorEditor::createSplitPointDisplay()
{
    splitPointLabel = makeCaption (*this, "splitPointLabel", "");
    splitPointLabel->setJustificationType (juce::Justification::centredRight);
    splitPointLabel->setColour (juce::Label::backgroundColourId, juce::Colours::white);
    splitPointLabel->setColour (juce::Label::textColourId, juce::Colours::black);
    splitPointLabel->setColour (juce::Label::outlineColourId, juce::Colours::grey);
    splitPointLabel->setTooltip (Settings::of (Settings::splitPoint).tooltip);

    splitPointName = makeCaption (*this, "splitPointName", "");
    splitPointName->setJustificationType (juce::Justification::centredRight);
}

myAudioProcessorEditor::~myAudioProcessorEditor()
{
    settingsWatch.stopTimer();
    {
        // Unregisters from the note states; see the constructor.
        const juce::ScopedLock sl (getProcessor().getCallbackLock());
        midiKeyboard = nullptr;
    }

    learnButton = nullptr;
    splitPointTitle = nullptr;
    splitPointLabel = nullptr;
    splitPointName = nullptr;
    settingControls.clear();
    panelButton = nullptr;
    panel = nullptr;

    getProcessor().removeChangeListener (this);
    backgroundImage = {};
}

myAudioProcessor& myAudioProcessorEditor::getProcessor() const
{
    return *static_cast<myAudioProcessor*> (getAudioProcessor());
}

int myAudioProcessorEditor::keyboardWidth() const
{
    return (int) (midiKeyboard->getKeyStartPosition (highestKey) - midiKeyboard->getKeyStartPosition (lowestKey)
                  + midiKeyboard->getKeyWidth());
}

int myAudioProcessorEditor::splitBarX (int32_t split) const
{
    // The keyboard's key positions hold only for note numbers; a saved state
    // may bring any value. Below 0 the whole keyboard is solo area, above 127
    // chord area.
    if (split > 127)
        return keyboardWidth();

    return (int) midiKeyboard->getKeyStartPosition (juce::jmax (0, (int) split));
}

//==============================================================================
void myAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);

    g.setColour (juce::Colours::black);
    g.drawImage (backgroundImage, 0, 0, editorWidth, editorHeight, 0, 0, backgroundImage.getWidth(), backgroundImage.getHeight());

    const auto& p = getProcessor();
    const int splitX = splitBarX (p.get (Settings::splitPoint));
    const int barY = midiKeyboard->getBottom() + 5;
    const int left = midiKeyboard->getX();

    g.setColour (juce::Colours::red);
    g.fillRect (left, barY, splitX, 10);

    g.setColour (juce::Colours::blue);
    g.fillRect (left + splitX, barY, keyboardWidth() - splitX, 10);

    const auto& harmonyBox = boxOf (Settings::ccHarmonyCtl);
    g.setColour (p.get (Settings::harmonyEnabled) > 0 ? juce::Colours::green : juce::Colours::red);
    g.fillRect (harmonyBox.getRight(), harmonyBox.getY(), 12, 24);
}

void myAudioProcessorEditor::resized()
{
    midiKeyboard->setBounds (10, 160, editorWidth, 64);

    learnButton->setBounds (416, 100, 60, 24);
    splitPointTitle->setBounds (271, 100, 70, 24);
    splitPointLabel->setBounds (348, 100, 60, 24);
    splitPointName->setBounds (348, 126, 60, 20);

    if (panel != nullptr)
        panel->setBounds (panelBounds), panelButton->setBounds (panelButtonBounds);

    for (auto& c : settingControls)
    {
        juce::Component& control = c.box != nullptr ? static_cast<juce::Component&> (*c.box) : *c.toggle;

        if (const auto* place = fixedPlaceOf (c.key))
        {
            c.caption->setBounds (place->captionBounds);
            control.setBounds (place->controlBounds);
            continue;
        }

        // A row of the column, or a cell of the panel (its own coordinates).
        const bool inColumn = c.freeIndex < freeRows;
        const int cell = c.freeIndex - freeRows;
        const int x = inColumn ? freeColumnX : 6 + 242 * (cell / 2);
        const int y = inColumn ? freeColumnY + freeRowStep * c.freeIndex : 5 + 30 * (cell % 2);
        const int captionWidth = inColumn ? 95 : 120;
        if (c.caption != nullptr)
            c.caption->setBounds (x, y, captionWidth, 24), control.setBounds (x + captionWidth, y, 110, 24);
        else
            control.setBounds (x, y, 230, 24);
    }

    // Exactly as wide as keys 24 to 127, so that no scroll buttons appear.
    midiKeyboard->setBounds (midiKeyboard->getX(), midiKeyboard->getY(), keyboardWidth(), 64);
}

//==============================================================================
void myAudioProcessorEditor::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    JUCE_ASSERT_MESSAGE_THREAD
    if (source != static_cast<juce::ChangeBroadcaster*> (&getProcessor()))
        return;

    showProcessor();
    repaint();
}

void myAudioProcessorEditor::showProcessor()
{
    // Without notification: showing the settings must not write them back.
    auto& p = getProcessor();
    shown = p.currentSettings();
    const auto split = p.get (Settings::splitPoint);
    splitPointLabel->setText (juce::String (split), juce::dontSendNotification);
    splitPointName->setText (split >= 0 && split <= 127 ? NoteNames::name (split) : std::string(), juce::dontSendNotification);

    for (auto& c : settingControls)
    {
        const auto value = shown[(size_t) c.key];
        if (c.toggle != nullptr)
            c.toggle->setToggleState (value > 0, juce::dontSendNotification);
        else
            showSetting (*c.box, Settings::of (c.key), value);
    }
}

void myAudioProcessorEditor::showChangedSettings()
{
    // A project or preset loaded, a controller or a host changed a setting
    // without a change message: shown at the next tick.
    if (getProcessor().currentSettings() != shown)
    {
        showProcessor();
        repaint();
    }
}

void myAudioProcessorEditor::buttonClicked (juce::Button* button)
{
    JUCE_ASSERT_MESSAGE_THREAD
    auto& p = getProcessor();

    if (button == learnButton.get())
        p.learnSplitPoint = true;
    else if (button == panelButton.get())
        panel->setVisible (! panel->isVisible());

    for (auto& c : settingControls)
        if (button == c.toggle.get())
            p.set (c.key, button->getToggleState() ? 1 : 0);
}

void myAudioProcessorEditor::comboBoxChanged (juce::ComboBox* box)
{
    JUCE_ASSERT_MESSAGE_THREAD
    const auto index = box->getSelectedItemIndex();

    for (auto& c : settingControls)
        if (box == c.box.get() && index >= 0)
            getProcessor().set (c.key, Settings::of (c.key).lowest + index);
}
