// The editor's window component inside the host's window. Message thread only.

#include "EditorCompWrapper.h"

#include "HostDetection.h"
#include "NativeWindows.h"

EditorCompWrapper::EditorCompWrapper (EditorHostCalls hostCalls, juce::AudioProcessorEditor* editor)
    : host (std::move (hostCalls))
{
    setOpaque (true);
    editor->setOpaque (true);

    setBounds (editor->getBounds());
    editor->setTopLeftPosition (0, 0);
    addAndMakeVisible (editor);

    // A click anywhere in the editor raises the host's document window.
    if (HostDetection::detectHostType() != HostDetection::HostType::MuseReceptorGeneric)
        addMouseListener (this, true);

    NativeWindows::addWheelHookUser();
}

EditorCompWrapper::~EditorCompWrapper()
{
    NativeWindows::removeWheelHookUser();
    deleteAllChildren(); // the editor
}

juce::AudioProcessorEditor* EditorCompWrapper::getEditor() const
{
    return dynamic_cast<juce::AudioProcessorEditor*> (getChildComponent (0));
}

void EditorCompWrapper::mouseDown (const juce::MouseEvent&)
{
    broughtToFront();
}

void EditorCompWrapper::paint (juce::Graphics&) {}

void EditorCompWrapper::paintOverChildren (juce::Graphics&)
{
    triggerAsyncUpdate();
}

void EditorCompWrapper::handleAsyncUpdate()
{
    host.onRepainted();
}

void EditorCompWrapper::resized()
{
    if (auto* child = getChildComponent (0))
        child->setBounds (getLocalBounds());
}

void EditorCompWrapper::childBoundsChanged (juce::Component* child)
{
    child->setTopLeftPosition (0, 0);
    const int w = child->getWidth(), h = child->getHeight();
    host.onEditorResized (w, h);
    setSize (w, h);
}

void EditorCompWrapper::broughtToFront()
{
    NativeWindows::raiseFrameWindow (getWindowHandle());
}
