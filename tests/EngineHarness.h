#pragma once

// Drives a processor through its block function and reads back what it sent,
// as a host adapter would.

#include "Events.h"
#include "myAudioProcessor.h"

#include <gtest/gtest.h>

#include <vector>

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
