#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

/** What the window component asks of the adapter that hosts it. */
class EditorWindowOwner
{
public:
    virtual ~EditorWindowOwner() = default;
    virtual void nudgeHostIdle() = 0;
    virtual void fitHostWindow (int width, int height) = 0;
};

/** The window component that holds the processor's editor inside the host's
    window. It owns the editor. Message thread only. */
class EditorCompWrapper : public juce::Component,
                          public juce::AsyncUpdater
{
public:
    EditorCompWrapper (EditorWindowOwner& owner, juce::AudioProcessorEditor* editor);
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
    EditorWindowOwner& wrapper;

    JUCE_DECLARE_NON_COPYABLE (EditorCompWrapper)
};
