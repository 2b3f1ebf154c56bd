#include "GuardedComponent.h"

#include "Vst3Processor.h"
#include "Vst3State.h"

#include <public.sdk/source/common/memorystream.h>

#include <algorithm>
#include <climits>

namespace Vst3
{
GuardedComponent::GuardedComponent (FUnknown* frameworkComponent, Vst3Processor& p)
    : framework (frameworkComponent, false),
      component (frameworkComponent),
      audio (frameworkComponent),
      connection (frameworkComponent),
      contextRequirements (frameworkComponent),
      processor (p),
      bypass (frameworkBypassOf (frameworkComponent))
{
}

tresult PLUGIN_API GuardedComponent::queryInterface (const TUID wanted, void** obj)
{
    QUERY_INTERFACE (wanted, obj, FUnknown::iid, Vst::IComponent)
    QUERY_INTERFACE (wanted, obj, IPluginBase::iid, Vst::IComponent)
    QUERY_INTERFACE (wanted, obj, Vst::IComponent::iid, Vst::IComponent)
    QUERY_INTERFACE (wanted, obj, Vst::IAudioProcessor::iid, Vst::IAudioProcessor)
    QUERY_INTERFACE (wanted, obj, Vst::IConnectionPoint::iid, Vst::IConnectionPoint)
    QUERY_INTERFACE (wanted, obj, Vst::IProcessContextRequirements::iid, Vst::IProcessContextRequirements)

    // The framework's own interfaces: its controller finds the processor through them.
    return framework->queryInterface (wanted, obj);
}

uint32 PLUGIN_API GuardedComponent::release()
{
    const auto left = --references;
    if (left == 0)
        delete this;
    return left;
}

//==============================================================================
tresult PLUGIN_API GuardedComponent::setState (IBStream* state)
{
    if (state == nullptr || state->seek (0, IBStream::kIBSeekSet, nullptr) != kResultOk)
        return kInvalidArgument;

    // Read whole, as far as a settings chunk could ever need: states are a few hundred bytes.
    juce::MemoryBlock bytes (1 << 20);
    const auto room = (int32) bytes.getSize();
    int32 total = 0;

    while (total < room)
    {
        int32 read = 0;
        if (state->read (static_cast<char*> (bytes.getData()) + total, room - total, &read) != kResultOk || read <= 0)
            break;
        total += std::min (read, room - total); // a host may claim more than it was asked for
    }

    auto readable = Vst3State::forFramework (static_cast<const uint8_t*> (bytes.getData()), (size_t) total);

    if (! readable)
        return kResultFalse; // nothing changes

    MemoryStream stream (readable->getData(), (TSize) readable->getSize());
    return component->setState (&stream);
}

//==============================================================================
int32 PLUGIN_API GuardedComponent::getBusCount (Vst::MediaType type, Vst::BusDirection dir)
{
    return type == Vst::kAudio && dir == Vst::kInput ? 1 : component->getBusCount (type, dir);
}

tresult PLUGIN_API GuardedComponent::getBusInfo (Vst::MediaType type, Vst::BusDirection dir, int32 index, Vst::BusInfo& bus)
{
    if (! isInput (type, dir, index))
        return type == Vst::kAudio && dir == Vst::kInput ? kInvalidArgument : component->getBusInfo (type, dir, index, bus);

    bus = {};
    bus.mediaType = type;
    bus.direction = dir;
    bus.channelCount = Vst::SpeakerArr::getChannelCount (inputArrangement);
    bus.busType = Vst::kMain;
    bus.flags = Vst::BusInfo::kDefaultActive;
    const char name[] = "Input";
    std::copy (std::begin (name), std::end (name), bus.name);
    return kResultOk;
}

tresult PLUGIN_API GuardedComponent::activateBus (Vst::MediaType type, Vst::BusDirection dir, int32 index, TBool state)
{
    if (! isInput (type, dir, index))
        return type == Vst::kAudio && dir == Vst::kInput ? kInvalidArgument : component->activateBus (type, dir, index, state);

    inputActive = state != 0;
    return kResultOk;
}

tresult PLUGIN_API GuardedComponent::setBusArrangements (Vst::SpeakerArrangement* inputs, int32 numIns, Vst::SpeakerArrangement* outputs, int32 numOuts)
{
    // What there is: one input bus and one output bus, mono or stereo each.
    // The framework answers success for more buses than there are, and
    // computes with whatever speaker bits an output brings.
    const auto isMonoOrStereo = [] (Vst::SpeakerArrangement a) { return a == Vst::SpeakerArr::kMono || a == Vst::SpeakerArr::kStereo; };

    if (numIns != 1 || numOuts != 1 || inputs == nullptr || outputs == nullptr || ! isMonoOrStereo (inputs[0]) || ! isMonoOrStereo (outputs[0]))
        return kResultFalse;

    const auto result = audio->setBusArrangements (nullptr, 0, outputs, numOuts);
    if (result == kResultOk)
        inputArrangement = inputs[0];
    return result;
}

tresult PLUGIN_API GuardedComponent::getBusArrangement (Vst::BusDirection dir, int32 index, Vst::SpeakerArrangement& arr)
{
    if (! isInput (Vst::kAudio, dir, index))
        return audio->getBusArrangement (dir, index, arr);

    arr = inputArrangement;
    return kResultOk;
}

tresult PLUGIN_API GuardedComponent::setupProcessing (Vst::ProcessSetup& setup)
{
    if (setup.maxSamplesPerBlock <= 0)
        return kInvalidArgument;

    const auto result = audio->setupProcessing (setup);
    if (result == kResultOk)
    {
        maxBlock = setup.maxSamplesPerBlock;
        input.setSize (2, setup.maxSamplesPerBlock);
    }
    return result;
}

tresult PLUGIN_API GuardedComponent::setActive (TBool state)
{
    active = false;
    const auto result = component->setActive (state);

    if (state && result == kResultOk)
    {
        // A call with nothing in it, off the audio thread, lets the framework
        // find out which host runs it (an allocation) before the first block.
        Vst::ProcessData nothing;
        audio->process (nothing);
        active = true;
    }

    return result;
}

//==============================================================================
namespace
{
/** The first channels of a bus, up to two, or none where the host left one out. */
int usableChannels (const Vst::AudioBusBuffers* bus)
{
    if (bus == nullptr || bus->channelBuffers32 == nullptr)
        return 0;

    const int n = std::min (bus->numChannels, 2);
    for (int c = 0; c < n; ++c)
        if (bus->channelBuffers32[c] == nullptr)
            return 0;
    return std::max (n, 0);
}
} // namespace

tresult PLUGIN_API GuardedComponent::process (Vst::ProcessData& data)
{
    if (! active)
        return kNotInitialized;

    if (data.numSamples < 0 || data.symbolicSampleSize != Vst::kSample32)
        return kInvalidArgument;

    processor.takeHostEvents (data.inputEvents, data.inputParameterChanges, data.numSamples);
    takeBypass (data.inputParameterChanges);

    const auto* in = data.numInputs > 0 && inputActive ? data.inputs : nullptr;
    const auto* out = data.numOutputs > 0 ? data.outputs : nullptr;
    const int inChannels = usableChannels (in), outChannels = usableChannels (out);

    // The framework sees the first output bus only, part by part.
    Vst::Sample32* outputs[2] {};
    Vst::AudioBusBuffers outBus {};
    outBus.numChannels = outChannels;
    outBus.channelBuffers32 = outputs;
    Vst::ProcessData part = data;
    part.inputEvents = nullptr;
    part.numInputs = 0;
    part.inputs = nullptr;
    part.numOutputs = outChannels > 0 ? 1 : 0;
    part.outputs = outChannels > 0 ? &outBus : nullptr;
    tresult result = kResultOk;
    int32 start = 0;

    do
    {
        const int32 length = std::min (maxBlock.load(), data.numSamples - start);
        const bool isLast = start + length >= data.numSamples;

        for (int c = 0; c < inChannels; ++c)
            input.copyFrom (c, 0, in->channelBuffers32[c] + start, length);
        for (int c = 0; c < outChannels; ++c)
            outputs[c] = out->channelBuffers32[c] + start;

        part.numSamples = length;
        // Taken above: the framework's parameters are the controllers and the bypass.
        part.inputParameterChanges = nullptr;
        processor.startPart (start, isLast ? INT_MAX : start + length);
        result = audio->process (part);

        // The input passes through; an output beyond it keeps the processor's silence.
        for (int c = 0; c < std::min (inChannels, outChannels); ++c)
            juce::FloatVectorOperations::copy (outputs[c], input.getReadPointer (c), length);

        start += length;
    } while (result == kResultOk && start < data.numSamples);

    return result;
}

void GuardedComponent::takeBypass (Vst::IParameterChanges* changes) noexcept
{
    // As the framework takes it: the last point of the block.
    const int numChanged = changes != nullptr && bypass.parameter != nullptr ? changes->getParameterCount() : 0;

    for (int i = 0; i < numChanged; ++i)
    {
        auto* queue = changes->getParameterData (i);
        int32 offset = 0;
        Vst::ParamValue value = 0;

        if (queue != nullptr && queue->getParameterId() == bypass.id && queue->getPoint (queue->getPointCount() - 1, offset, value) == kResultTrue
            && bypass.parameter->getValue() != (float) value)
            bypass.parameter->setValue ((float) value);
    }
}
} // namespace Vst3
