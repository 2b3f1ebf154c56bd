// Recognising the host program from its executable path.

#include "HostDetection.h"

#include <gtest/gtest.h>

namespace
{
using HostDetection::HostType;

TEST (HostDetection, FirstMatchingRowOnFileNameOrPathDecides)
{
    const std::pair<const char*, HostType> paths[] = {
        { "/opt/REAPER/REAPER", HostType::Reaper }, // case does not matter
        { "C:\\Program Files\\Steinberg\\WaveLab 7\\WaveLab7.exe", HostType::SteinbergWavelab7 },
        { "C:\\Wavelab 7\\Cubase.exe", HostType::SteinbergCubaseGeneric }, // an earlier row on the file name wins over the path
        { "C:\\Image-Line\\FL Studio 20\\FL64.exe", HostType::FruityLoops },
        { "/usr/bin/myFLhost", HostType::none }, // "FL" only at the start
        { "C:\\Ableton\\Ableton Live 8.2.exe", HostType::AbletonLive8 },
        { "/usr/bin/Liveness", HostType::none },
        { "C:\\Cakewalk\\SONAR 8\\Bin\\Host.exe", HostType::CakewalkSonar8 },
        { "", HostType::none },
    };
    for (auto& [path, type] : paths)
        EXPECT_EQ (HostDetection::hostTypeForPath (path), type) << path;
}
} // namespace
