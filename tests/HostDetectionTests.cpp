// Recognising the host program from its executable path.

#include "HostDetection.h"

#include <gtest/gtest.h>

namespace
{
using HostDetection::HostType;
using HostDetection::hostTypeForPath;

TEST (HostDetection, TableOrderAndTests)
{
    EXPECT_EQ (hostTypeForPath ("C:\\Program Files\\REAPER\\reaper.exe"), HostType::Reaper);
    EXPECT_EQ (hostTypeForPath ("/opt/REAPER/REAPER"), HostType::Reaper);
    EXPECT_FALSE (HostDetection::needsMessageThreadCorrection (HostType::Reaper));

    EXPECT_EQ (hostTypeForPath ("C:\\Program Files\\Steinberg\\WaveLab 7\\WaveLab7.exe"), HostType::SteinbergWavelab7);
    EXPECT_TRUE (HostDetection::needsMessageThreadCorrection (HostType::SteinbergWavelab7));
    // An earlier row on the file name wins over the path.
    EXPECT_EQ (hostTypeForPath ("C:\\Wavelab 7\\Cubase.exe"), HostType::SteinbergCubaseGeneric);
    EXPECT_EQ (hostTypeForPath ("C:\\Steinberg\\WaveLab.exe"), HostType::SteinbergWavelabGeneric);
    EXPECT_TRUE (HostDetection::needsMessageThreadCorrection (HostType::SteinbergWavelabGeneric));

    EXPECT_EQ (hostTypeForPath ("C:\\Image-Line\\FL Studio 20\\FL64.exe"), HostType::FruityLoops);
    EXPECT_EQ (hostTypeForPath ("/usr/bin/myFLhost"), HostType::none);
    EXPECT_EQ (hostTypeForPath ("/usr/bin/flstudio"), HostType::FruityLoops);

    EXPECT_EQ (hostTypeForPath ("C:\\Ableton\\Ableton Live 8.2.exe"), HostType::AbletonLive8);
    EXPECT_EQ (hostTypeForPath ("C:\\Ableton\\Ableton Live 11 Suite.exe"), HostType::AbletonLiveGeneric);
    EXPECT_EQ (hostTypeForPath ("/usr/bin/Liveness"), HostType::none);

    EXPECT_EQ (hostTypeForPath ("C:\\Cakewalk\\SONAR 8\\Bin\\Host.exe"), HostType::CakewalkSonar8);
    EXPECT_EQ (hostTypeForPath ("C:\\Cubase 5\\VSTBridgeApp.exe"), HostType::SteinbergCubase5Bridged);
    EXPECT_EQ (hostTypeForPath ("/usr/bin/rm-host"), HostType::MuseReceptorGeneric);
    EXPECT_EQ (hostTypeForPath ("/Applications/Samplitude.app"), HostType::MagixSamplitude);
    EXPECT_EQ (hostTypeForPath ("/usr/bin/ardour8"), HostType::none);
    EXPECT_EQ (hostTypeForPath (""), HostType::none);
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
