#include "myAudioProcessorEditor.h"

#include "BinaryData.h"
#include "NoteNames.h"

namespace
{
constexpr int editorWidth = 996, editorHeight = 250;
constexpr int lowestKey = 24, highestKey = 127;

/** Controls carry their member names, so that they can be found by name. */
template <typename Control, typename... Args>
std::unique_ptr<Control> makeControl (juce::Component& parent, const char* name, Args&&... args)
{
    auto control = std::make_unique<Control> (std::forward<Args> (args)...);
    control->setName (name);
    parent.addAndMakeVisible (*control);
    return control;
}

/** Item n shows setting n; a saved state may hold any 32-bit value, which
    leaves the box empty when no item has it. */
void showSetting (juce::ComboBox& box, int32_t value)
{
    const bool hasItem = value >= 1 && value <= box.getNumItems();
    box.setSelectedItemIndex (hasItem ? value - 1 : -1, juce::dontSendNotification);
}
} // namespace

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

    chordChannelBox = makeBox ("chordChannelBox", "MIDI channel for chord notes", 16);
    chordChannelLabel = makeCaption ("chordChannelLabel", "MIDI channel out chord");
    soloChannelBox = makeBox ("soloChannelBox", "MIDI channel for solo notes", 16);
    soloChannelLabel = makeCaption ("soloChannelLabel", "MIDI channel out solo");
    splitPointTitle = makeCaption ("splitPointTitle", "Splitpoint");
    createSplitPointDisplay();
    ccHarmonyBox = makeBox ("ccHarmonyBox", "Controller that switches the harmony voices: value 64 or more turns them on, 63 or less off", 127);
    ccHarmonyLabel = makeCaption ("ccHarmonyLabel", "CC Harmony on/off");
    maxVoicesBox = makeBox ("maxVoicesBox", "Most notes in the solo area at once: held melody keys plus harmony voices; "
                                            "the lowest voices are left out first",
                            10);
    maxVoicesLabel = makeCaption ("maxVoicesLabel", "Max. Solo voices");
    voicesWithMelodySwitch = makeSwitch ("voicesWithMelodySwitch", "Voices with melody note",
                                         "The harmony voices start and end with the note that calls for them, "
                                         "not at the start of the host's block");
    pedalsToBothSwitch = makeSwitch ("pedalsToBothSwitch", "Pedals on both sounds",
                                     "Sustain, sostenuto and soft pedal go out on the chord and the solo channel");

    backgroundImage = juce::ImageCache::getFromMemory (PolyquintaBinaryData::background_png, PolyquintaBinaryData::background_pngSize);
    setSize (editorWidth, editorHeight);
    owner.addChangeListener (this);

    // Without notification: showing the settings must not write them back.
    showSetting (*chordChannelBox, owner.chanOutChord);
    showSetting (*soloChannelBox, owner.chanOutSolo);
    showSetting (*maxVoicesBox, owner.maxSoloVoices);
    showSetting (*ccHarmonyBox, owner.ccHarmonyCtl);
    showProcessor();
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

std::unique_ptr<juce::ComboBox> myAudioProcessorEditor::makeBox (const char* name, const char* tooltip, int lastNumber)
{
    auto box = makeControl<juce::ComboBox> (*this, name);
    box->setEditableText (false);
    box->setJustificationType (juce::Justification::centredRight);
    box->setTextWhenNothingSelected ({});
    box->addListener (this);
    box->setTooltip (tooltip);

    for (int n = 1; n <= lastNumber; ++n)
        box->addItem (juce::String (n), n);

    return box;
}

std::unique_ptr<juce::Label> myAudioProcessorEditor::makeCaption (const char* name, const char* text)
{
    auto label = makeControl<juce::Label> (*this, name, juce::String(), text);
    label->setFont (juce::Font (15.0f, juce::Font::plain));
    label->setJustificationType (juce::Justification::centredLeft);
    label->setColour (juce::Label::textColourId, juce::Colours::white);
    return label;
}

std::unique_ptr<juce::ToggleButton> myAudioProcessorEditor::makeSwitch (const char* name, const char* text, const char* tooltip)
{
    auto button = makeControl<juce::ToggleButton> (*this, name, text);
    button->setColour (juce::ToggleButton::textColourId, juce::Colours::white);
    button->setColour (juce::ToggleButton::tickColourId, juce::Colours::white);
    button->setColour (juce::ToggleButton::tickDisabledColourId, juce::Colours::white.withAlpha (0.6f));
    button->setTooltip (tooltip);
    button->addListener (this);
    return button;
}

void myAudioProcessorEditor::createSplitPointDisplay()
{
    splitPointLabel = makeCaption ("splitPointLabel", "");
    splitPointLabel->setJustificationType (juce::Justification::centredRight);
    splitPointLabel->setColour (juce::Label::backgroundColourId, juce::Colours::white);
    splitPointLabel->setColour (juce::Label::textColourId, juce::Colours::black);
    splitPointLabel->setColour (juce::Label::outlineColourId, juce::Colours::grey);
    splitPointLabel->setTooltip ("SPlitpoint between chord and solo area");

    splitPointName = makeCaption ("splitPointName", "");
    splitPointName->setJustificationType (juce::Justification::centredRight);
}

myAudioProcessorEditor::~myAudioProcessorEditor()
{
    {
        // Unregisters from the note states; see the constructor.
        const juce::ScopedLock sl (getProcessor().getCallbackLock());
        midiKeyboard = nullptr;
    }

    learnButton = nullptr;
    chordChannelBox = nullptr;
    chordChannelLabel = nullptr;
    soloChannelBox = nullptr;
    soloChannelLabel = nullptr;
    splitPointTitle = nullptr;
    splitPointLabel = nullptr;
    ccHarmonyBox = nullptr;
    ccHarmonyLabel = nullptr;
    maxVoicesBox = nullptr;
    maxVoicesLabel = nullptr;
    splitPointName = nullptr;
    voicesWithMelodySwitch = nullptr;
    pedalsToBothSwitch = nullptr;

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
    const int splitX = splitBarX (p.splitPoint);
    const int barY = midiKeyboard->getBottom() + 5;
    const int left = midiKeyboard->getX();

    g.setColour (juce::Colours::red);
    g.fillRect (left, barY, splitX, 10);

    g.setColour (juce::Colours::blue);
    g.fillRect (left + splitX, barY, keyboardWidth() - splitX, 10);

    g.setColour (p.harmonyEnabled > 0 ? juce::Colours::green : juce::Colours::red);
    g.fillRect (ccHarmonyBox->getRight(), ccHarmonyBox->getY(), 12, 24);
}

void myAudioProcessorEditor::resized()
{
    midiKeyboard->setBounds (10, 160, editorWidth, 64);

    learnButton->setBounds (416, 100, 60, 24);
    chordChannelBox->setBounds (156, 80, 80, 24);
    chordChannelLabel->setBounds (16, 80, 130, 24);
    soloChannelBox->setBounds (156, 120, 80, 24);
    soloChannelLabel->setBounds (16, 120, 130, 24);
    splitPointTitle->setBounds (271, 100, 70, 24);
    splitPointLabel->setBounds (348, 100, 60, 24);
    ccHarmonyBox->setBounds (655, 80, 80, 24);
    ccHarmonyLabel->setBounds (515, 80, 130, 24);
    maxVoicesBox->setBounds (655, 120, 80, 24);
    maxVoicesLabel->setBounds (515, 120, 130, 24);
    splitPointName->setBounds (348, 126, 60, 20);
    voicesWithMelodySwitch->setBounds (775, 80, 200, 24);
    pedalsToBothSwitch->setBounds (775, 120, 200, 24);

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
    auto& p = getProcessor();
    const auto split = p.splitPoint.load();
    splitPointLabel->setText (juce::String (split), juce::dontSendNotification);
    splitPointName->setText (split >= 0 && split <= 127 ? NoteNames::name (split) : std::string(), juce::dontSendNotification);
    voicesWithMelodySwitch->setToggleState (p.voicesWithMelody > 0, juce::dontSendNotification);
    pedalsToBothSwitch->setToggleState (p.pedalsToBoth > 0, juce::dontSendNotification);
}

void myAudioProcessorEditor::buttonClicked (juce::Button* button)
{
    JUCE_ASSERT_MESSAGE_THREAD
    auto& p = getProcessor();

    if (button == learnButton.get())
        p.learnSplitPoint = true;
    else if (button == voicesWithMelodySwitch.get())
        p.voicesWithMelody = button->getToggleState() ? 1 : 0;
    else if (button == pedalsToBothSwitch.get())
        p.pedalsToBoth = button->getToggleState() ? 1 : 0;
}

void myAudioProcessorEditor::comboBoxChanged (juce::ComboBox* box)
{
    JUCE_ASSERT_MESSAGE_THREAD
    auto& p = getProcessor();
    const int value = box->getText().getIntValue();

    if (box == chordChannelBox.get())
        p.chanOutChord = value;
    else if (box == soloChannelBox.get())
        p.chanOutSolo = value;
    else if (box == ccHarmonyBox.get())
        p.ccHarmonyCtl = value;
    else if (box == maxVoicesBox.get())
        p.maxSoloVoices = value;
}
