#pragma once

#include "myAudioProcessor.h"

#include <juce_audio_utils/juce_audio_utils.h>

/** The plug-in's window: a fixed 996 x 250 panel with a control for every
    setting the settings table gives a caption (the four choice boxes in their
    fixed places, the others in the column beside them), the split point with
    its note name and its "Learn" button, the on-screen keyboard, the split
    bars under it and the harmony lamp. It keeps no copy of any setting but
    what it shows, and shows every change within one timer tick.
    Message thread only (the entry points check); it allocates and may block. */
class myAudioProcessorEditor : public juce::AudioProcessorEditor,
                               public juce::ChangeListener,
                               public juce::Button::Listener,
                               public juce::ComboBox::Listener
{
public:
    explicit myAudioProcessorEditor (myAudioProcessor& owner);
    ~myAudioProcessorEditor() override;

    /** The processor's editor factory. */
    static juce::AudioProcessorEditor* create (myAudioProcessor& owner) { return new myAudioProcessorEditor (owner); }

    /** The name of a setting's control: the four first boxes keep theirs. */
    static juce::String controlName (Settings::Key key);

    void paint (juce::Graphics& g) override;
    void resized() override;

    void changeListenerCallback (juce::ChangeBroadcaster* source) override;
    void buttonClicked (juce::Button* button) override;
    void comboBoxChanged (juce::ComboBox* box) override;

private:
    /** The control of one setting, made from its row in the settings table:
        a switch, or a box with its caption. */
    struct SettingControl
    {
        Settings::Key key;
        std::unique_ptr<juce::ComboBox> box;
        std::unique_ptr<juce::ToggleButton> toggle;
        std::unique_ptr<juce::Label> caption;
        int freeIndex = -1; // its place among the controls placed freely: the column's rows, then the panel's cells
    };

    /** The harmony settings beyond the column, over the keyboard while open. */
    struct Panel final : juce::Component
    {
        void paint (juce::Graphics& g) override;
    };

    myAudioProcessor& getProcessor() const;
    void createKeyboard (myAudioProcessor& owner);
    void createSplitPointDisplay();
    void createSettingControls();
    std::unique_ptr<juce::Label> makeCaption (juce::Component& parent, const juce::String& name, const char* text);
    juce::Component& parentFor (int freeIndex);
    juce::ComboBox& boxOf (Settings::Key key) const;
    void showProcessor();
    void showChangedSettings();
    int keyboardWidth() const;
    int splitBarX (int32_t split) const;

    std::unique_ptr<juce::MidiKeyboardComponent> midiKeyboard;
    std::unique_ptr<juce::TextButton> learnButton;
    std::unique_ptr<juce::Label> splitPointTitle;
    std::unique_ptr<juce::Label> splitPointLabel;
    std::unique_ptr<juce::Label> splitPointName;
    std::vector<SettingControl> settingControls;
    std::unique_ptr<Panel> panel;
    std::unique_ptr<juce::TextButton> panelButton;
    juce::Image backgroundImage;
    Settings::Values shown {}; // what the controls show

    /** Every tick, the controls catch up with settings changed elsewhere. A
        member, not a base, so that it never runs on a half-made editor. */
    struct SettingsWatch final : juce::Timer
    {
        explicit SettingsWatch (myAudioProcessorEditor& e) : editor (e) {}
        void timerCallback() override { editor.showChangedSettings(); }
        myAudioProcessorEditor& editor;
    };
    SettingsWatch settingsWatch { *this };

    // Shows the controls' help texts, as users expect.
    juce::TooltipWindow tooltipWindow { this };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (myAudioProcessorEditor)
};
