// Recognising the host program from its executable path.

#include "HostDetection.h"

#include <gtest/gtest.h>

namespace
{
using HostDetection::HostType;
using HostDetection::hostTypeForPath;

TEST (HostDetection, TableOrderAndTests)
{
    const std::pair<const char*, HostType> paths[] = {
        { "C:\\Program Files\\REAPER\\reaper.exe", HostType::Reaper },
        { "/opt/REAPER/REAPER", HostType::Reaper },
        { "C:\\Program Files\\Steinberg\\WaveLab 7\\WaveLab7.exe", HostType::SteinbergWavelab7 },
        { "C:\\Wavelab 7\\Cubase.exe", HostType::SteinbergCubaseGeneric }, // an earlier row on the file name wins over the path
        { "C:\\Steinberg\\WaveLab.exe", HostType::SteinbergWavelabGeneric },
        { "C:\\Image-Line\\FL Studio 20\\FL64.exe", HostType::FruityLoops },
        { "/usr/bin/myFLhost", HostType::none },
        { "/usr/bin/flstudio", HostType::FruityLoops },
        { "C:\\Ableton\\Ableton Live 8.2.exe", HostType::AbletonLive8 },
        { "C:\\Ableton\\Ableton Live 11 Suite.exe", HostType::AbletonLiveGeneric },
        { "/usr/bin/Liveness", HostType::none },
        { "C:\\Cakewalk\\SONAR 8\\Bin\\Host.exe", HostType::CakewalkSonar8 },
        { "C:\\Cubase 5\\VSTBridgeApp.exe", HostType::SteinbergCubase5Bridged },
        { "/usr/bin/rm-host", HostType::MuseReceptorGeneric },
        { "/Applications/Samplitude.app", HostType::MagixSamplitude },
        { "/usr/bin/ardour8", HostType::none },
        { "", HostType::none },
    };
    for (auto& [path, type] : paths)
        EXPECT_EQ (hostTypeForPath (path), type) << path;

    EXPECT_FALSE (HostDetection::needsMessageThreadCorrection (HostType::Reaper));
    EXPECT_TRUE (HostDetection::needsMessageThreadCorrection (HostType::SteinbergWavelab7));
    EXPECT_TRUE (HostDetection::needsMessageThreadCorrection (HostType::SteinbergWavelabGeneric));
}

TEST (HostDetection, WorkedOutOnceFromTheSubstitutedPath)
{
    int asked = 0;
    HostDetection::setHostPathSource ([&] { ++asked; return juce::String ("C:\\Steinberg\\WAVELAB 6\\Wavelab6.exe"); });

    EXPECT_EQ (HostDetection::detectHostType(), HostType::SteinbergWavelab6);
    EXPECT_EQ (HostDetection::detectHostType(), HostType::SteinbergWavelab6);
    EXPECT_EQ (asked, 1);

    HostDetection::setHostPathSource (nullptr);
    EXPECT_EQ (HostDetection::detectHostType(), HostType::none); // this test program
}
} // namespace
