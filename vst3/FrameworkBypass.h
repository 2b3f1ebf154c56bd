#pragma once

// The framework's own bypass parameter of a component it made, reached from
// the framework's sources (FrameworkWrapper.cpp), so that the guard can set
// it on the audio thread itself: the framework's way to it takes its
// listeners' lock and thread-local storage that is made on a thread's first
// use, which allocates. Host thread; the parameter lives as long as the component.

#include <juce_audio_processors/juce_audio_processors.h>
#include <pluginterfaces/base/funknown.h>
#include <pluginterfaces/vst/vsttypes.h>

namespace Vst3
{
struct FrameworkBypass
{
    juce::AudioProcessorParameter* parameter = nullptr;
    Steinberg::Vst::ParamID id = 0;
};

FrameworkBypass frameworkBypassOf (Steinberg::FUnknown* frameworkComponent);
} // namespace Vst3
