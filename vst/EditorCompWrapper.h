#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class JuceVSTWrapper;

/** The window component that holds the processor's editor inside the host's
    window. It owns the editor. */
class EditorCompWrapper : public juce::Component,
                          public juce::AsyncUpdater
{
public:
    EditorCompWrapper (JuceVSTWrapper& owner, juce::AudioProcessorEditor* editor);
    ~EditorCompWrapper() override;

    void mouseDown (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;
    void paintOverChildren (juce::Graphics&) override;
    void resized() override;
    void childBoundsChanged (juce::Component* child) override;
    void broughtToFront() override;
    void handleAsyncUpdate() override;

    juce::AudioProcessorEditor* getEditor() const;

private:
    JuceVSTWrapper& wrapper;

    JUCE_DECLARE_NON_COPYABLE (EditorCompWrapper)
};
