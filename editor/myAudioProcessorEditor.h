#pragma once

#include "../processor/myAudioProcessor.h"

/** The plug-in's window content: a fixed 996 x 250 panel. */
class myAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    explicit myAudioProcessorEditor (myAudioProcessor& owner);
    ~myAudioProcessorEditor() override;

    void paint (juce::Graphics& g) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (myAudioProcessorEditor)
};
