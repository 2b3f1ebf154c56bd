#include "myAudioProcessorEditor.h"

myAudioProcessorEditor::myAudioProcessorEditor (myAudioProcessor& owner)
    : AudioProcessorEditor (owner)
{
    setSize (996, 250);
}

myAudioProcessorEditor::~myAudioProcessorEditor() = default;

void myAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (52, 18, 6));
    g.setColour (juce::Colour (127, 29, 0));
    g.fillRect (0, 0, getWidth(), 61);
    g.setColour (juce::Colour (255, 240, 210));
    g.setFont (juce::Font (32.0f, juce::Font::italic));
    g.drawText (getAudioProcessor()->getName(), 16, 12, 300, 42, juce::Justification::centredLeft);
}
