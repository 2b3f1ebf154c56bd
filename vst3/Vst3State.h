#pragma once

// The saved states a VST3 host hands back, read before the framework's
// wrapper sees them: its own reader trusts every size it finds and reads past
// the end of a damaged state. Any thread; allocates.

#include <juce_core/juce_core.h>

#include <cstdint>
#include <optional>

namespace Vst3State
{
/** The state the framework's wrapper reads for the settings chunk found in
    `state`, or nothing when there is none whose settings text can be read,
    whole or cut short: for a state
    as this plug-in writes it (the chunk in a VST 2 bank, after a header that
    says whether it was bypassed), as a host that replaces the VST 2 plug-in
    hands over the VST 2 one's (a bank, or a single program, with or without
    that header), in a whole VST3 preset file, or the bare chunk. */
std::optional<juce::MemoryBlock> forFramework (const uint8_t* state, size_t size);
} // namespace Vst3State
