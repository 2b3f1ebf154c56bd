// The held keys' bookkeeping, the panics and the harmony voices built from the
// held chord. Audio thread only; nothing here waits or allocates.

#include "myAudioProcessor.h"

int myAudioProcessor::limitChannel (int channel) noexcept
{
    // Only a foreign saved state can bring other values; the setting itself stays as stored.
    return juce::jlimit (1, 16, channel);
}

int myAudioProcessor::countSoloNotes() const
{
    return numSoloKeysDown;
}

void myAudioProcessor::bookChordKey (int n, bool isNoteOn) noexcept
{
    auto& count = chordStrikes[(size_t) n];

    if (isNoteOn && count < maxStrikesPerKey)
    {
        chordNotes.add (n);
        ++count;
    }
    else if (! isNoteOn && count > 0)
    {
        chordNotes.removeFirstMatchingValue (n);
        --count;
    }
}

void myAudioProcessor::bookSoloKey (int n, bool isNoteOn, juce::uint8 velocity) noexcept
{
    auto& list = soloNotes[n];
    auto& word = soloKeysDown[(size_t) n / 64];
    const auto bit = (juce::uint64) 1 << (n % 64);

    if (! isNoteOn && ! list.isEmpty())
    {
        list.clearQuick();
        word &= ~bit;
        --numSoloKeysDown;
    }
    else if (isNoteOn && list.size() < maxStrikesPerKey)
    {
        if (list.isEmpty())
        {
            word |= bit;
            ++numSoloKeysDown;
        }

        list.add ({ velocity });
    }
}

void myAudioProcessor::forgetHeldKeys() noexcept
{
    chordNotes.clearQuick();
    chordStrikes.fill (0);

    for (int n = 0; n < 128; ++n)
        soloNotes[n].clearQuick();

    soloKeysDown.fill (0);
    numSoloKeysDown = 0;
}

void myAudioProcessor::panic (const juce::MidiMessage& m, int t)
{
    // Every output channel on which the plug-in has notes sounding hears the
    // panic too, not only the channel it came in on.
    std::array<bool, 17> sounding {};

    for (auto& channel : strikes)
        for (auto& strike : channel)
            if (strike.count > 0)
                sounding[(size_t) strike.channel] = true;

    if (firstSoundingVoice < harmonyNotes.size())
        sounding[(size_t) harmonyChannel] = true;

    sounding[(size_t) m.getChannel()] = false;

    silenceVoices (t);
    output.add (m, t);

    for (int channel = 1; channel <= 16; ++channel)
    {
        if (sounding[(size_t) channel])
        {
            auto copy = m;
            copy.setChannel (channel);
            output.add (copy, t);
        }
    }

    // All Notes Off also forgets every held key; their routes stay, so that
    // the releases still go out where the notes did.
    if (m.getControllerNumber() == allNotesOffController)
        forgetHeldKeys();
}

void myAudioProcessor::silenceVoices (int t)
{
    // Only the voices that were turned on: the others never sounded.
    for (int i = firstSoundingVoice; i < harmonyNotes.size(); ++i)
    {
        const auto off = juce::MidiMessage::noteOff (harmonyChannel, harmonyNotes.getUnchecked (i), (juce::uint8) 0);
        output.add (off, t);
        keyboardState.processNextMidiEvent (off);
    }

    harmonyNotes.clearQuick();
    firstSoundingVoice = 0;
}

void myAudioProcessor::endVoices (int t)
{
    if (firstSoundingVoice < harmonyNotes.size())
        notifyChange();

    silenceVoices (t);
}

void myAudioProcessor::harmonize (int t)
{
    endVoices (t);

    if (chordNotes.size() < 2 || harmonyEnabled <= 0 || numSoloKeysDown == 0)
        return;

    // The reference is the lowest held solo key.
    const int reference = soloKeysDown[0] != 0 ? __builtin_ctzll (soloKeysDown[0])
                                               : 64 + __builtin_ctzll (soloKeysDown[1]);
    const auto velocity = soloNotes[reference].getFirst().velocity;
    const int r = reference - 2;
    const int base = 12 * (r / 12);
    const int rp = r - base;

    // Every chord entry gives the voice of its pitch class, so the voices
    // come out ascending, without sorting: the pitch classes above rp an
    // octave down first, then those up to rp.
    std::array<int, 12> entries {};
    for (auto c : chordNotes)
        ++entries[(size_t) (c % 12)];

    const auto addVoices = [&] (int from, int to, int octaveBase) {
        for (int p = juce::jmax (0, from); p <= to; ++p)
            for (int n = 0; n < entries[(size_t) p]; ++n)
                if (octaveBase + p >= 0) // below the lowest note there is nothing to sound
                    harmonyNotes.add (octaveBase + p);
    };
    addVoices (rp + 1, 11, base - 12);
    addVoices (0, rp, base);
    harmonyChannel = limitChannel (chanOutSolo);

    // The cap drops the lowest voices; wide arithmetic because a foreign saved
    // state can bring any maxSoloVoices.
    const auto excess = (int64_t) countSoloNotes() + harmonyNotes.size() - (int64_t) maxSoloVoices;
    firstSoundingVoice = (int) juce::jlimit ((int64_t) 0, (int64_t) harmonyNotes.size(), excess);

    for (int i = firstSoundingVoice; i < harmonyNotes.size(); ++i)
    {
        const auto on = juce::MidiMessage::noteOn (harmonyChannel, harmonyNotes.getUnchecked (i), velocity);
        output.add (on, t);
        keyboardState.processNextMidiEvent (on);
        notifyChange();
    }
}
