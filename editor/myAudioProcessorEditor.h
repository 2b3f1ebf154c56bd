#pragma once

#include "myAudioProcessor.h"

#include <juce_audio_utils/juce_audio_utils.h>

/** The plug-in's window: a fixed 996 x 250 panel with the four choice boxes,
    the split point with its note name and its "Learn" button, the two playing
    switches, the on-screen keyboard, the split bars under it and the harmony
    lamp. It keeps no copy of any setting.
    Message thread only (the entry points check); it allocates and may block. */
class myAudioProcessorEditor : public juce::AudioProcessorEditor,
                               public juce::ChangeListener,
                               public juce::Button::Listener,
                               public juce::ComboBox::Listener
{
public:
    explicit myAudioProcessorEditor (myAudioProcessor& owner);
    ~myAudioProcessorEditor() override;

    void paint (juce::Graphics& g) override;
    void resized() override;

    void changeListenerCallback (juce::ChangeBroadcaster* source) override;
    void buttonClicked (juce::Button* button) override;
    void comboBoxChanged (juce::ComboBox* box) override;

private:
    myAudioProcessor& getProcessor() const;
    void createKeyboard (myAudioProcessor& owner);
    void createSplitPointDisplay();
    std::unique_ptr<juce::ComboBox> makeBox (const char* name, const char* tooltip, int lastNumber);
    std::unique_ptr<juce::Label> makeCaption (const char* name, const char* text);
    std::unique_ptr<juce::ToggleButton> makeSwitch (const char* name, const char* text, const char* tooltip);
    void showProcessor();
    int keyboardWidth() const;
    int splitBarX (int32_t split) const;

    std::unique_ptr<juce::MidiKeyboardComponent> midiKeyboard;
    std::unique_ptr<juce::TextButton> learnButton;
    std::unique_ptr<juce::ComboBox> chordChannelBox;
    std::unique_ptr<juce::Label> chordChannelLabel;
    std::unique_ptr<juce::ComboBox> soloChannelBox;
    std::unique_ptr<juce::Label> soloChannelLabel;
    std::unique_ptr<juce::Label> splitPointTitle;
    std::unique_ptr<juce::Label> splitPointLabel;
    std::unique_ptr<juce::Label> splitPointName;
    std::unique_ptr<juce::ComboBox> ccHarmonyBox;
    std::unique_ptr<juce::Label> ccHarmonyLabel;
    std::unique_ptr<juce::ComboBox> maxVoicesBox;
    std::unique_ptr<juce::Label> maxVoicesLabel;
    std::unique_ptr<juce::ToggleButton> voicesWithMelodySwitch;
    std::unique_ptr<juce::ToggleButton> pedalsToBothSwitch;
    juce::Image backgroundImage;

    // Shows the controls' help texts, as users expect.
    juce::TooltipWindow tooltipWindow { this };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (myAudioProcessorEditor)
};
