#pragma once

// Drives a processor through its block function and reads back what it sent,
// as a host adapter would.

#include "myAudioProcessor.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

struct Event
{
    int position = 0;
    std::vector<juce::uint8> bytes;

    bool operator== (const Event& other) const { return position == other.position && bytes == other.bytes; }
};

inline std::ostream& operator<< (std::ostream& os, const Event& e)
{
    os << "@" << e.position << " [";
    for (size_t i = 0; i < e.bytes.size(); ++i)
        os << (i ? " " : "") << juce::String::toHexString ((int) e.bytes[i]).paddedLeft ('0', 2);
    return os << "]";
}

using Events = std::vector<Event>;

// Message builders; channels are 1..16 as a musician counts them.
inline Event on (int channel, int note, int velocity, int position = 0)
{
    return { position, { (juce::uint8) (0x90 + channel - 1), (juce::uint8) note, (juce::uint8) velocity } };
}

inline Event off (int channel, int note, int velocity = 0, int position = 0)
{
    return { position, { (juce::uint8) (0x80 + channel - 1), (juce::uint8) note, (juce::uint8) velocity } };
}

inline Event cc (int channel, int controller, int value, int position = 0)
{
    return { position, { (juce::uint8) (0xb0 + channel - 1), (juce::uint8) controller, (juce::uint8) value } };
}

inline Event pb (int channel, int position = 0)
{
    return { position, { (juce::uint8) (0xe0 + channel - 1), 0x00, 0x40 } };
}

inline juce::MidiBuffer toBuffer (const Events& events)
{
    juce::MidiBuffer buffer;
    for (auto& e : events)
        buffer.addEvent (e.bytes.data(), (int) e.bytes.size(), e.position);
    return buffer;
}

inline Events fromBuffer (const juce::MidiBuffer& buffer)
{
    Events events;
    for (const auto meta : buffer)
        events.push_back ({ meta.samplePosition, std::vector<juce::uint8> (meta.data, meta.data + meta.numBytes) });
    return events;
}

/** Runs one block of `numSamples` samples through the processor's block
    function, or its bypassed one. */
inline Events runBlock (myAudioProcessor& p, const Events& in, int numSamples = 512, bool bypassed = false)
{
    juce::AudioBuffer<float> audio (2, numSamples);
    audio.clear();
    auto midi = toBuffer (in);
    if (bypassed)
        p.processBlockBypassed (audio, midi);
    else
        p.processBlock (audio, midi);
    return fromBuffer (midi);
}

/** Delivers the message thread's pending messages for a while. */
inline void runMessageLoop (int milliseconds = 50)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}
