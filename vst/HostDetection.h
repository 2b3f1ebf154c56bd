#pragma once

// Which host loaded the plug-in, worked out once from the process's path.
// Any thread; the first call blocks briefly and allocates.

#include <juce_core/juce_core.h>

#include <functional>

/** The host programs that the editor hosting treats specially, recognised
    from the host's executable path by an ordered table of tests. */
namespace HostDetection
{
enum class HostType
{
    none,
    AbletonLive6,
    AbletonLive7,
    AbletonLive8,
    AbletonLiveGeneric,
    AdobePremierePro,
    DigidesignProTools,
    CakewalkSonar8,
    CakewalkSonarGeneric,
    AppleLogic,
    Tracktion3,
    TracktionGeneric,
    Reaper,
    SteinbergCubase4,
    SteinbergCubase5,
    SteinbergCubase6,
    SteinbergCubase7,
    SteinbergCubaseGeneric,
    SteinbergCubase5Bridged,
    SteinbergWavelab5,
    SteinbergWavelab6,
    SteinbergWavelab7,
    SteinbergWavelab8,
    SteinbergNuendo,
    SteinbergWavelabGeneric,
    MuseReceptorGeneric,
    FruityLoops,
    StudioOne,
    DigitalPerformer,
    VSTScanner,
    MergingPyramix,
    MagixSamplitude,
};

/** The first row of the table that the path matches (letter case ignored). */
HostType hostTypeForPath (const juce::String& hostPath);

/** The running host's type, worked out on the first call and kept. */
HostType detectHostType();

/** Where detectHostType() takes the host path from: the running executable
    unless replaced (before the first detection) by a test. */
void setHostPathSource (std::function<juce::String()> source);

/** Hosts whose editor-request thread must become the message thread. */
bool needsMessageThreadCorrection (HostType type);
} // namespace HostDetection
