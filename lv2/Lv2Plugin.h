#pragma once

// The LV2 adapter: one plug-in instance around the processor. Made, activated,
// saved, restored and freed on the host's instantiation thread; run() on its
// audio thread, where nothing allocates, waits (but for the processor's
// callback lock) or enters the kernel.

#include "WaitingEvents.h"
#include "myAudioProcessor.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <memory>

namespace Lv2
{
/** The plug-in's URI. Published: it never changes. */
inline constexpr const char* pluginUri = "urn:brasklab:polyquinta";
inline constexpr const char* uiUri = "urn:brasklab:polyquinta#ui";
/** The state property holding the settings text. */
inline constexpr const char* settingsUri = "urn:brasklab:polyquinta#settings";

/** The port indices, as the bundle's description lists them. */
enum Port : uint32_t
{
    midiIn,
    midiOut,
    audioInLeft,
    audioInRight,
    audioOutLeft,
    audioOutRight,
    enabled,
    numPorts
};

class Editor;

class Plugin
{
public:
    /** Null when the host lacks urid:map, the one feature required. */
    static Plugin* create (double sampleRate, const LV2_Feature* const* features);
    ~Plugin();

    void connect (uint32_t port, void* data) noexcept;
    void activate();
    void deactivate();
    void run (uint32_t numSamples) noexcept;

    LV2_State_Status save (LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status restore (LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    myAudioProcessor& getProcessor() noexcept { return *processor; }

    /** The editor open on this instance, if any: it goes when the instance goes. */
    Editor* editor = nullptr;

private:
    Plugin (double sampleRate, LV2_URID_Map& map, int blockSize);

    void takeEvents (uint32_t numSamples) noexcept;
    void passAudioThrough (int numSamples) noexcept;
    void sendEvents (uint32_t numSamples) noexcept;

    struct Urids
    {
        LV2_URID sequence, string, midiEvent, frameTime, settings;
    };

    std::unique_ptr<myAudioProcessor> processor;
    const Urids urids;
    const double sampleRate;
    const int blockSize;
    bool isActive = false;

    const LV2_Atom_Sequence* input = nullptr;
    LV2_Atom_Sequence* output = nullptr;
    const float* audioIn[2] {};
    float* audioOut[2] {};
    const float* enabledPort = nullptr;

    // The block the processor handles, and what the host's output sequence
    // had no room for: it goes out at the start of the next block, so that
    // no release is ever lost. Under overload new notes give way, with their
    // releases, on the way in and on the way out. Reserved once, touched
    // only by the audio thread.
    juce::MidiBuffer blockMidi;
    NoteGate inputGate, waitingGate;
    WaitingEvents waiting { myAudioProcessor::maxEventsPerBlock, myAudioProcessor::maxSysexBytesPerBlock };
};
} // namespace Lv2
