#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <functional>

/** What the window component asks of the adapter that hosts it. */
struct EditorHostCalls
{
    std::function<void()> onRepainted; // the editor was painted (a button may be down)
    std::function<void (int, int)> onEditorResized; // the editor has a new size
};

/** The window component that holds the processor's editor inside the host's
    window. It owns the editor. Message thread only. */
class EditorCompWrapper : public juce::Component,
                          public juce::AsyncUpdater
{
public:
    EditorCompWrapper (EditorHostCalls host, juce::AudioProcessorEditor* editor);
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
    const EditorHostCalls host;

    JUCE_DECLARE_NON_COPYABLE (EditorCompWrapper)
};
