// The harmony update: the voicing rule gives the new voices, the cap leaves
// out the lowest, the old voices end (those the new voicing keeps sound on
// when the player holds them) and the new ones go out. Audio thread only;
// nothing here waits or allocates.

#include "myAudioProcessor.h"

namespace
{
using Counts = std::array<uint16_t, 128>;

// How often each note sounds among the voices from `first` on.
Counts countsOf (const myAudioProcessor::NoteList& voices, int first) noexcept
{
    Counts counts {};
    for (int i = first; i < voices.size(); ++i)
        ++counts[(size_t) voices.getUnchecked (i)];
    return counts;
}
} // namespace

bool myAudioProcessor::holdsVoices() const noexcept
{
    // Held only where they stay: on their channel, and not across a state load.
    return playing[Settings::holdVoices] > 0 && nextChannel == harmonyChannel && ! voiceWhole;
}

void myAudioProcessor::endVoices (int t, bool notify)
{
    nextVoices.clearQuick();
    nextFirstSounding = 0;
    endReplacedVoices (t, notify);
    harmonyNotes.clearQuick();
    firstSoundingVoice = 0;
}

void myAudioProcessor::prepareVoices() noexcept
{
    nextVoices.clearQuick();
    nextFirstSounding = 0;
    nextChannel = voicesChannel();

    if (playing[Settings::harmonyEnabled] <= 0 || numSoloKeysDown == 0)
        return;

    melodyKeys.clearQuick();
    for (size_t word = 0; word < soloKeysDown.size(); ++word)
        for (auto bits = soloKeysDown[word]; bits != 0; bits &= bits - 1)
        {
            const int key = (int) (64 * word) + __builtin_ctzll (bits);
            melodyKeys.add ({ key, soloNotes[key].getFirst().velocity });
        }

    // Fewer than two chord keys down: the remembered chord, while the player keeps one.
    const bool remembered = playing[Settings::chordMemory] > 0 && chordNotes.size() < 2 && chordMemory.size() >= 2;
    const auto velocity = Harmony::voice (Harmony::typeOf (playing[Settings::harmonyType]), remembered ? chordMemory : chordNotes,
                                          melodyKeys, playing, nextVoices);

    if (velocity < juce::jlimit (0, 127, playing[Settings::touchLimit]))
    {
        nextVoices.clearQuick();
        return;
    }

    // Halves round up; wide arithmetic, limits, because a foreign saved state can bring any number.
    const auto level = (int64_t) juce::jlimit (10, 200, playing[Settings::voiceLevel]);
    nextVelocity = (juce::uint8) juce::jlimit ((int64_t) 1, (int64_t) 127, (velocity * level + 50) / 100);

    // The cap drops the lowest voices.
    const auto excess = (int64_t) countSoloNotes() + nextVoices.size() - (int64_t) playing[Settings::maxSoloVoices];
    nextFirstSounding = (int) juce::jlimit ((int64_t) 0, (int64_t) nextVoices.size(), excess);
}

void myAudioProcessor::endReplacedVoices (int t, bool notify)
{
    // Only the voices that were turned on: the others never sounded. Those
    // the next voicing sounds too, note by note, stay while voices are held.
    auto kept = holdsVoices() ? countsOf (nextVoices, nextFirstSounding) : Counts {};

    for (int i = firstSoundingVoice; i < harmonyNotes.size(); ++i)
    {
        const int note = harmonyNotes.getUnchecked (i);
        if (kept[(size_t) note] > 0)
        {
            --kept[(size_t) note];
            continue;
        }

        const auto off = juce::MidiMessage::noteOff (harmonyChannel, note, (juce::uint8) 0);
        output.add (off, t);
        keyboardState.processNextMidiEvent (off);
        if (notify)
            notifyChange();
    }
}

void myAudioProcessor::startNewVoices (int t)
{
    auto kept = holdsVoices() ? countsOf (harmonyNotes, firstSoundingVoice) : Counts {};

    for (int i = nextFirstSounding; i < nextVoices.size(); ++i)
    {
        const int note = nextVoices.getUnchecked (i);
        if (kept[(size_t) note] > 0)
        {
            --kept[(size_t) note]; // sounding already, with its first velocity
            continue;
        }

        const auto on = juce::MidiMessage::noteOn (nextChannel, note, nextVelocity);
        output.add (on, t);
        keyboardState.processNextMidiEvent (on);
        notifyChange();
    }

    harmonyNotes.assign (nextVoices);
    firstSoundingVoice = nextFirstSounding;
    harmonyChannel = nextChannel;
    voiceWhole = false;
}

void myAudioProcessor::harmonize (int t)
{
    prepareVoices();
    endReplacedVoices (t, true);
    startNewVoices (t);
}
