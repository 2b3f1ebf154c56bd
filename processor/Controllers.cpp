// Controllers: the pedals, passed on or spread to both sounds; the harmony
// switch; and the panics, which reach every channel with notes sounding.
// Audio thread only; nothing here waits or allocates.

#include "myAudioProcessor.h"

void myAudioProcessor::passController (const juce::uint8* d, int size, int t, bool toBoth)
{
    const int pedal = d[1] == 64 ? 0 : (d[1] == 66 ? 1 : (d[1] == 67 ? 2 : -1));

    if (pedal < 0)
    {
        output.add (d, size, t);
        return;
    }

    const auto bit = [] (int channel) { return (uint16_t) (1u << (channel - 1)); };
    const bool press = d[2] >= 64;
    const uint16_t own = bit ((d[0] & 0x0f) + 1);
    uint16_t channels = toBoth ? (uint16_t) (bit (limitChannel (playing[Settings::chanOutChord])) | bit (limitChannel (playing[Settings::chanOutSolo]))
                                             | bit (voicesChannel()))
                               : own;

    // A release also reaches every channel a press of this pedal still holds
    // down: spread there, or passed there while it was not to be spread.
    if (! press)
        channels |= spreadPedals[(size_t) pedal] | (playing[Settings::pedalsToBoth] > 0 ? passedPedals[(size_t) pedal] : 0);

    if (channels == own)
    {
        output.add (d, size, t);
    }
    else
    {
        for (int channel = 1; channel <= 16; ++channel)
        {
            if ((channels & bit (channel)) != 0)
            {
                const juce::uint8 copy[] = { (juce::uint8) ((d[0] & 0xf0) | (channel - 1)), d[1], d[2] };
                output.add (copy, 3, t);
            }
        }
    }

    if (press)
        (toBoth ? spreadPedals : passedPedals)[(size_t) pedal] |= channels;
    else
        spreadPedals[(size_t) pedal] &= (uint16_t) ~channels, passedPedals[(size_t) pedal] &= (uint16_t) ~channels;
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

    endVoices (t, false);
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

void myAudioProcessor::switchHarmony (const juce::uint8* d, int size, int t)
{
    setFromBlock (Settings::harmonyEnabled, d[2] >= 64 ? 1 : 0);
    notifyChange();
    passController (d, size, t, false);
}
