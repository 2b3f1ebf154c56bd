#pragma once

// The framework's VST3 component as hosts meet it, guarded at the doors
// where the framework trusts a host further than a damaged project or a
// careless host deserves, or does more on the audio thread than it may:
// - a saved state is read here first and handed on as the framework reads it
//   safely, or not at all;
// - a block runs only once the component is active (before that the
//   framework has no buffers), and in parts no longer than the host
//   announced (the framework's buffers hold no more);
// - bus requests it cannot meet are refused (the framework answers success),
//   and so are states whose settings cannot be read;
// - the host's events, and the controllers that come as changes of the
//   framework's MIDI-CC parameters, go to the processor in time linear in
//   their number, not through the framework's buffer, whose insertion walks
//   it each time; the bypass parameter is set here too, off the framework's
//   way to it, which locks and allocates on a thread's first use;
// - the audio input is this guard's: it passes the input through to the
//   output itself, and the processor the framework runs has none, since the
//   framework copies the input bus's channel layout, allocating, every block.
// Everything else reaches the framework's component unchanged, on the
// thread the host calls it on.

#include <pluginterfaces/base/ibstream.h>
#include <pluginterfaces/base/smartpointer.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivstmessage.h>

#include "FrameworkBypass.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <atomic>

class Vst3Processor;

namespace Vst3
{
using namespace Steinberg;

class GuardedComponent final : public Vst::IComponent,
                               public Vst::IAudioProcessor,
                               public Vst::IConnectionPoint,
                               public Vst::IProcessContextRequirements
{
public:
    /** Takes over one reference to the framework's component. */
    GuardedComponent (FUnknown* frameworkComponent, Vst3Processor& processor);

    tresult PLUGIN_API queryInterface (const TUID wanted, void** obj) override;
    uint32 PLUGIN_API addRef() override { return ++references; }
    uint32 PLUGIN_API release() override;

    tresult PLUGIN_API initialize (FUnknown* context) override { return component->initialize (context); }
    tresult PLUGIN_API terminate() override { return component->terminate(); }

    tresult PLUGIN_API getControllerClassId (TUID classId) override { return component->getControllerClassId (classId); }
    tresult PLUGIN_API setIoMode (Vst::IoMode mode) override { return component->setIoMode (mode); }
    int32 PLUGIN_API getBusCount (Vst::MediaType type, Vst::BusDirection dir) override;
    tresult PLUGIN_API getBusInfo (Vst::MediaType type, Vst::BusDirection dir, int32 index, Vst::BusInfo& bus) override;
    tresult PLUGIN_API getRoutingInfo (Vst::RoutingInfo& in, Vst::RoutingInfo& out) override { return component->getRoutingInfo (in, out); }
    tresult PLUGIN_API activateBus (Vst::MediaType type, Vst::BusDirection dir, int32 index, TBool state) override;
    tresult PLUGIN_API setActive (TBool state) override;
    tresult PLUGIN_API setState (IBStream* state) override;
    tresult PLUGIN_API getState (IBStream* state) override { return component->getState (state); }

    tresult PLUGIN_API setBusArrangements (Vst::SpeakerArrangement* inputs, int32 numIns, Vst::SpeakerArrangement* outputs, int32 numOuts) override;
    tresult PLUGIN_API getBusArrangement (Vst::BusDirection dir, int32 index, Vst::SpeakerArrangement& arr) override;
    tresult PLUGIN_API canProcessSampleSize (int32 size) override { return audio->canProcessSampleSize (size); }
    uint32 PLUGIN_API getLatencySamples() override { return audio->getLatencySamples(); }
    tresult PLUGIN_API setupProcessing (Vst::ProcessSetup& setup) override;
    tresult PLUGIN_API setProcessing (TBool state) override { return audio->setProcessing (state); }
    tresult PLUGIN_API process (Vst::ProcessData& data) override;
    uint32 PLUGIN_API getTailSamples() override { return audio->getTailSamples(); }

    tresult PLUGIN_API connect (IConnectionPoint* other) override { return connection->connect (other); }
    tresult PLUGIN_API disconnect (IConnectionPoint* other) override { return connection->disconnect (other); }
    tresult PLUGIN_API notify (Vst::IMessage* message) override { return connection->notify (message); }

    uint32 PLUGIN_API getProcessContextRequirements() override { return contextRequirements->getProcessContextRequirements(); }

private:
    static bool isInput (Vst::MediaType type, Vst::BusDirection dir, int32 index) { return type == Vst::kAudio && dir == Vst::kInput && index == 0; }
    void takeBypass (Vst::IParameterChanges* changes) noexcept;

    std::atomic<uint32> references { 1 };
    IPtr<FUnknown> framework;
    FUnknownPtr<Vst::IComponent> component;
    FUnknownPtr<Vst::IAudioProcessor> audio;
    FUnknownPtr<Vst::IConnectionPoint> connection;
    FUnknownPtr<Vst::IProcessContextRequirements> contextRequirements;
    Vst3Processor& processor;
    const FrameworkBypass bypass;

    // Set on the host's thread while the audio thread does not process.
    std::atomic<bool> active { false }, inputActive { true };
    std::atomic<int32> maxBlock { 1024 }; // the framework's own until the host says
    Vst::SpeakerArrangement inputArrangement = Vst::SpeakerArr::kStereo;
    juce::AudioBuffer<float> input { 2, 1024 }; // a part of the block's input, kept while the framework runs
};
} // namespace Vst3
