// Renders the editor with a chord and a melody playing and writes it as PNG:
// the picture in the README is made with it.
//
//   editor-snapshot OUT.png [--panel]   (--panel: with the harmony settings' panel open)

#include "myAudioProcessorEditor.h"

#include <cstdio>

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI framework;

    const bool withPanel = argc == 3 && juce::String (argv[2]) == "--panel";
    if (argc != 2 && ! withPanel)
    {
        std::fputs ("usage: editor-snapshot OUT.png [--panel]\n", stderr);
        return 2;
    }

    myAudioProcessor processor (&myAudioProcessorEditor::create);
    processor.prepareToPlay (44100.0, 512);

    // C major in the left hand, E5 and G5 in the right: the keys and the voices show red.
    juce::MidiBuffer midi;
    for (int note : { 36, 40, 43 })
        midi.addEvent (juce::MidiMessage::noteOn (1, note, (juce::uint8) 90), 0);
    for (int note : { 76, 79 })
        midi.addEvent (juce::MidiMessage::noteOn (1, note, (juce::uint8) 100), 10);

    juce::AudioBuffer<float> audio (2, 512);
    audio.clear();
    processor.processBlock (audio, midi);

    std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditor());
    if (withPanel)
        for (auto* child : editor->getChildren())
            if (auto* button = dynamic_cast<juce::Button*> (child); button != nullptr && child->getName() == "harmonyPanelButton")
                button->triggerClick();
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50); // the click is delivered asynchronously
    const auto image = editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f);

    const juce::File out (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]));
    out.deleteFile();
    juce::FileOutputStream stream (out);
    juce::PNGImageFormat png;

    if (! stream.openedOk() || ! png.writeImageToStream (image, stream))
    {
        std::fprintf (stderr, "editor-snapshot: cannot write %s\n", argv[1]);
        return 1;
    }

    return 0;
}
