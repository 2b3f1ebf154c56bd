// The block's output, built in time linear in its events. Audio thread only;
// the storage is reserved when the processor is made.

#include "myAudioProcessor.h"

#include "OrderedMidi.h"

myAudioProcessor::BlockOutput::BlockOutput()
{
    atStart.ensureSize ((size_t) outputCapacityBytes);
    later.ensureSize ((size_t) outputCapacityBytes);
}

void myAudioProcessor::BlockOutput::clear() noexcept
{
    atStart.clear();
    later.clear();
    numEvents = 0;
}

void myAudioProcessor::BlockOutput::add (const juce::uint8* data, int size, int position) noexcept
{
    // Past the block's capacity events are left out rather than allocated
    // for: new notes first, never a release of one that went out.
    constexpr int header = OrderedMidi::headerSize, releaseBytes = header + 3;
    const int stored = header + OrderedMidi::storedLength (data, size);
    const int used = atStart.data.size() + later.data.size();
    const auto fits = [&] (int releases) {
        return numEvents + 1 + releases <= maxEventsPerBlock && used + stored + releases * releaseBytes <= outputCapacityBytes;
    };

    if (stored == header || ! gate.admit (data, size, fits))
        return;

    auto& list = position <= 0 ? atStart : later;

    if (OrderedMidi::append (list, list.data.size() + outputCapacityBytes - used, data, size, position))
        ++numEvents;
}

void myAudioProcessor::BlockOutput::replaceContentOf (juce::MidiBuffer& destination) const
{
    // Copied rather than swapped, so that both sides keep their storage.
    destination.data.clearQuick();
    destination.data.addArray (atStart.data);
    destination.data.addArray (later.data);
}
