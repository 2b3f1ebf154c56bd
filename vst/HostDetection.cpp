#include "HostDetection.h"

#include <algorithm>
#include <mutex>

namespace HostDetection
{
namespace
{
enum class Where
{
    fileName,
    hostPath
};
enum class Test
{
    contains,
    beginsWith
};

struct Row
{
    const char* text;
    Where where;
    Test test;
    HostType type;
};

// Order matters: the first row that holds decides.
const Row table[] = {
    { "Live 6.", Where::fileName, Test::contains, HostType::AbletonLive6 },
    { "Live 7.", Where::fileName, Test::contains, HostType::AbletonLive7 },
    { "Live 8.", Where::fileName, Test::contains, HostType::AbletonLive8 },
    { "Live ", Where::fileName, Test::contains, HostType::AbletonLiveGeneric },
    { "Adobe Premiere", Where::fileName, Test::contains, HostType::AdobePremierePro },
    { "ProTools", Where::fileName, Test::contains, HostType::DigidesignProTools },
    { "SONAR 8", Where::hostPath, Test::contains, HostType::CakewalkSonar8 },
    { "SONAR", Where::fileName, Test::contains, HostType::CakewalkSonarGeneric },
    { "Logic", Where::fileName, Test::contains, HostType::AppleLogic },
    { "Tracktion 3", Where::hostPath, Test::contains, HostType::Tracktion3 },
    { "Tracktion", Where::fileName, Test::contains, HostType::TracktionGeneric },
    { "reaper", Where::fileName, Test::contains, HostType::Reaper },
    { "Cubase4", Where::fileName, Test::contains, HostType::SteinbergCubase4 },
    { "Cubase5", Where::fileName, Test::contains, HostType::SteinbergCubase5 },
    { "Cubase6", Where::fileName, Test::contains, HostType::SteinbergCubase6 },
    { "Cubase7", Where::fileName, Test::contains, HostType::SteinbergCubase7 },
    { "Cubase", Where::fileName, Test::contains, HostType::SteinbergCubaseGeneric },
    { "VSTBridgeApp", Where::fileName, Test::contains, HostType::SteinbergCubase5Bridged },
    { "Wavelab 5", Where::hostPath, Test::contains, HostType::SteinbergWavelab5 },
    { "Wavelab 6", Where::hostPath, Test::contains, HostType::SteinbergWavelab6 },
    { "Wavelab 7", Where::hostPath, Test::contains, HostType::SteinbergWavelab7 },
    { "Wavelab 8", Where::hostPath, Test::contains, HostType::SteinbergWavelab8 },
    { "Nuendo", Where::hostPath, Test::contains, HostType::SteinbergNuendo },
    { "Wavelab", Where::fileName, Test::contains, HostType::SteinbergWavelabGeneric },
    { "rm-host", Where::fileName, Test::contains, HostType::MuseReceptorGeneric },
    { "FL", Where::fileName, Test::beginsWith, HostType::FruityLoops },
    { "Studio One", Where::hostPath, Test::contains, HostType::StudioOne },
    { "Digital Performer", Where::hostPath, Test::contains, HostType::DigitalPerformer },
    { "VST_Scanner", Where::fileName, Test::contains, HostType::VSTScanner },
    { "Merging Technologies", Where::hostPath, Test::contains, HostType::MergingPyramix },
    { "Sam", Where::fileName, Test::beginsWith, HostType::MagixSamplitude },
};

// Worked out once per process by whichever thread asks first; all of it
// under detectionLock, since hosts open editors and instances from any thread.
std::mutex detectionLock;
std::function<juce::String()> pathSource;
bool detected = false;
HostType detectedType = HostType::none;

juce::String fileNameWithoutExtension (const juce::String& path)
{
    // Either separator: a Windows path read on any system still names its file.
    const auto name = path.fromLastOccurrenceOf ("/", false, false).fromLastOccurrenceOf ("\\", false, false);
    return name.containsChar ('.') ? name.upToLastOccurrenceOf (".", false, false) : name;
}
} // namespace

HostType hostTypeForPath (const juce::String& hostPath)
{
    const auto fileName = fileNameWithoutExtension (hostPath);

    for (auto& row : table)
    {
        const auto& subject = row.where == Where::fileName ? fileName : hostPath;
        const bool holds = row.test == Test::contains ? subject.containsIgnoreCase (row.text)
                                                      : subject.startsWithIgnoreCase (row.text);
        if (holds)
            return row.type;
    }

    return HostType::none;
}

HostType detectHostType()
{
    std::lock_guard<std::mutex> lock (detectionLock);

    if (! detected)
    {
        const auto path = pathSource ? pathSource()
                                     : juce::File::getSpecialLocation (juce::File::hostApplicationPath).getFullPathName();
        detectedType = hostTypeForPath (path);
        detected = true;
    }

    return detectedType;
}

void setHostPathSource (std::function<juce::String()> source)
{
    std::lock_guard<std::mutex> lock (detectionLock);
    pathSource = std::move (source);
    detected = false;
}

bool needsMessageThreadCorrection (HostType type)
{
    static constexpr HostType correctedHosts[] = { HostType::AdobePremierePro, HostType::SteinbergCubase5Bridged,
                                                   HostType::SteinbergWavelab5, HostType::SteinbergWavelab6,
                                                   HostType::SteinbergWavelab7, HostType::SteinbergWavelab8,
                                                   HostType::SteinbergWavelabGeneric };
    return std::find (std::begin (correctedHosts), std::end (correctedHosts), type) != std::end (correctedHosts);
}
} // namespace HostDetection
