// Plays a short bundled performance through the Polyquinta engine and prints,
// block by block, what the keyboard sent and what the plug-in answered.

#include "myAudioProcessor.h"

#include <cstdio>
#include <vector>

namespace
{
constexpr int blockSize = 512;

struct DemoEvent
{
    int block, position;
    juce::uint8 status, data1, data2;
};

// Left hand holds C, F, G7 and C again below the split point (C3); the right
// hand plays a short melody above it, on MIDI channel 1 like most keyboards.
const std::vector<DemoEvent> demo {
    { 0, 0, 0x90, 36, 80 }, { 0, 0, 0x90, 40, 80 }, { 0, 0, 0x90, 43, 80 },
    { 0, 100, 0x90, 72, 96 },
    { 1, 20, 0x90, 74, 90 }, { 1, 30, 0x80, 72, 0 },
    { 2, 40, 0x90, 76, 100 }, { 2, 50, 0x80, 74, 0 },
    { 3, 0, 0x80, 36, 0 }, { 3, 0, 0x80, 40, 0 }, { 3, 0, 0x80, 43, 0 },
    { 3, 10, 0x90, 41, 80 }, { 3, 10, 0x90, 45, 80 }, { 3, 10, 0x90, 36, 80 },
    { 3, 200, 0x90, 77, 104 }, { 3, 210, 0x80, 76, 0 },
    { 4, 0, 0x80, 41, 0 }, { 4, 0, 0x80, 45, 0 }, { 4, 0, 0x80, 36, 0 },
    { 4, 5, 0x90, 43, 80 }, { 4, 5, 0x90, 47, 80 }, { 4, 5, 0x90, 41, 80 },
    { 4, 300, 0x90, 79, 110 }, { 4, 310, 0x80, 77, 0 },
    { 5, 0, 0x80, 43, 0 }, { 5, 0, 0x80, 47, 0 }, { 5, 0, 0x80, 41, 0 },
    { 5, 5, 0x90, 36, 80 }, { 5, 5, 0x90, 40, 80 }, { 5, 5, 0x90, 43, 80 },
    { 5, 100, 0x90, 84, 100 }, { 5, 110, 0x80, 79, 0 },
    { 6, 400, 0x80, 84, 0 },
    { 7, 0, 0x80, 36, 0 }, { 7, 0, 0x80, 40, 0 }, { 7, 0, 0x80, 43, 0 },
};

juce::String describe (const juce::uint8* d, int size)
{
    const juce::MidiMessage m (d, size);
    auto channel = juce::String (m.getChannel()).paddedLeft (' ', 2);

    if (m.isNoteOn())
        return "ch " + channel + "  note-on  " + juce::MidiMessage::getMidiNoteName (m.getNoteNumber(), true, true, 4).paddedRight (' ', 4)
               + " (" + juce::String (m.getNoteNumber()).paddedLeft (' ', 3) + ")  velocity " + juce::String (m.getVelocity());

    if (m.isNoteOff())
        return "ch " + channel + "  note-off " + juce::MidiMessage::getMidiNoteName (m.getNoteNumber(), true, true, 4).paddedRight (' ', 4)
               + " (" + juce::String (m.getNoteNumber()).paddedLeft (' ', 3) + ")";

    return "ch " + channel + "  " + m.getDescription();
}

void print (const char* label, const juce::MidiBuffer& buffer)
{
    for (const auto meta : buffer)
        std::printf ("  %s @%4d  %s\n", label, meta.samplePosition, describe (meta.data, meta.numBytes).toRawUTF8());
}
} // namespace

int main()
{
    juce::ScopedJuceInitialiser_GUI gui;
    myAudioProcessor processor;
    processor.prepareToPlay (44100.0, blockSize);

    std::printf ("Polyquinta engine demo: split point %s, chord out on channel %d, melody and harmony out on channel %d,\n"
                 "harmony %s, at most %d solo voices. Blocks of %d samples at 44.1 kHz.\n\n",
                 juce::MidiMessage::getMidiNoteName (processor.splitPoint, true, true, 4).toRawUTF8(),
                 (int) processor.chanOutChord, (int) processor.chanOutSolo,
                 processor.harmonyEnabled > 0 ? "on" : "off", (int) processor.maxSoloVoices, blockSize);

    juce::AudioBuffer<float> audio (2, blockSize);
    int inCount = 0, outCount = 0;

    for (int block = 0; block < 8; ++block)
    {
        juce::MidiBuffer midi;

        for (auto& e : demo)
            if (e.block == block)
                midi.addEvent (juce::MidiMessage (e.status, e.data1, e.data2), e.position);

        std::printf ("block %d\n", block + 1);
        print ("in ", midi);
        inCount += midi.getNumEvents();

        audio.clear();
        processor.processBlock (audio, midi);

        print ("out", midi);
        outCount += midi.getNumEvents();
    }

    std::printf ("\n%d events in, %d events out.\n", inCount, outCount);
    return 0;
}
