// The harmony update: the old voices end, the voicing rule gives the new
// ones, the cap leaves out the lowest, and the rest go out on the solo channel.
// Audio thread only; nothing here waits or allocates.

#include "myAudioProcessor.h"

void myAudioProcessor::endVoices (int t, bool notify)
{
    // Only the voices that were turned on: the others never sounded.
    if (notify && firstSoundingVoice < harmonyNotes.size())
        notifyChange();

    for (int i = firstSoundingVoice; i < harmonyNotes.size(); ++i)
    {
        const auto off = juce::MidiMessage::noteOff (harmonyChannel, harmonyNotes.getUnchecked (i), (juce::uint8) 0);
        output.add (off, t);
        keyboardState.processNextMidiEvent (off);
    }

    harmonyNotes.clearQuick();
    firstSoundingVoice = 0;
}

void myAudioProcessor::harmonize (int t)
{
    endVoices (t);

    if (playing[Settings::harmonyEnabled] <= 0 || numSoloKeysDown == 0)
        return;

    melodyKeys.clearQuick();
    for (size_t word = 0; word < soloKeysDown.size(); ++word)
        for (auto bits = soloKeysDown[word]; bits != 0; bits &= bits - 1)
        {
            const int key = (int) (64 * word) + __builtin_ctzll (bits);
            melodyKeys.add ({ key, soloNotes[key].getFirst().velocity });
        }

    const auto velocity = Harmony::voice (Harmony::typeOf (playing[Settings::harmonyType]), chordNotes, melodyKeys, playing, harmonyNotes);
    harmonyChannel = limitChannel (playing[Settings::chanOutSolo]);

    // The cap drops the lowest voices; wide arithmetic because a foreign saved
    // state can bring any maxSoloVoices.
    const auto excess = (int64_t) countSoloNotes() + harmonyNotes.size() - (int64_t) playing[Settings::maxSoloVoices];
    firstSoundingVoice = (int) juce::jlimit ((int64_t) 0, (int64_t) harmonyNotes.size(), excess);

    for (int i = firstSoundingVoice; i < harmonyNotes.size(); ++i)
    {
        const auto on = juce::MidiMessage::noteOn (harmonyChannel, harmonyNotes.getUnchecked (i), velocity);
        output.add (on, t);
        keyboardState.processNextMidiEvent (on);
        notifyChange();
    }
}
