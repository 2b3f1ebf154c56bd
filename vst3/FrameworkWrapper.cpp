// The framework's VST3 client wrapper, compiled as installed. Its factory
// function is renamed and not exported, so that hosts reach it only through
// ours (Vst3Entry.cpp), which guards every component it makes.

#include <pluginterfaces/base/fplatform.h>

#undef SMTG_EXPORT_SYMBOL
#define SMTG_EXPORT_SYMBOL
#define GetPluginFactory frameworkPluginFactory

#include <juce_audio_plugin_client/juce_audio_plugin_client_VST3.cpp>

#include "FrameworkBypass.h"

Vst3::FrameworkBypass Vst3::frameworkBypassOf (Steinberg::FUnknown* component)
{
    juce::JuceAudioProcessor* shared = nullptr;

    if (component == nullptr || component->queryInterface (juce::JuceAudioProcessor::iid.toTUID(), (void**) &shared) != Steinberg::kResultOk
        || shared == nullptr)
        return {};

    const FrameworkBypass bypass { shared->getBypassParameter(), shared->getBypassParamID() };
    shared->release();
    return bypass;
}
