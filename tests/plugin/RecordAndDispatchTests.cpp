// The plug-in as a host first meets it: the library, the entry, the record,
// and the answers of the dispatcher.

#include "PluginFixture.h"

#include <algorithm>

namespace
{
TEST (Entry, RefusesAHostThatIsNoVst2Host)
{
    vsthost::HostBehaviour noHost;
    noHost.versionAnswer = 0;
    vsthost::Plugin plugin (pluginLibrary(), noHost);
    EXPECT_FALSE (plugin.isLoaded());

    vsthost::HostBehaviour oddHost;
    oddHost.versionAnswer = 7;
    vsthost::Plugin accepted (pluginLibrary(), oddHost);
    EXPECT_TRUE (accepted.isLoaded());

    EXPECT_EQ (pluginLibrary().getEntry() (nullptr), nullptr);
}

TEST (Record, ValuesAHostReads)
{
    vsthost::Plugin plugin (pluginLibrary());
    ASSERT_TRUE (plugin.isLoaded());
    const auto* e = plugin.getEffect();
    auto values = [e] { return std::vector<int64_t> { e->magic, e->uniqueID, e->version, e->numInputs, e->numOutputs, e->numPrograms, e->numParams, e->flags, e->initialDelay, e->resvd1, e->realQualities }; };
    const std::vector<int64_t> expected { 0x56737450, 0x50717a74, 100, 2, 2, 0, 0, 0x231, 0, 0, 0 };

    EXPECT_EQ (values(), expected);
    EXPECT_EQ (e->ioRatio, 1.0f);
    EXPECT_TRUE (e->object != nullptr && e->dispatcher != nullptr && e->processReplacing != nullptr);
    EXPECT_EQ (plugin.dispatch (effOpen), 0);
    EXPECT_EQ (values(), expected);
}

TEST (Record, DeprecatedSlotsDoNothing)
{
    ActivePlugin p;
    auto* e = p.plugin.getEffect();
    auto note = eventsOf ({ on (1, 60, 100) });
    p.plugin.sendEvents (note);

    // process() neither writes the outputs nor sends the events.
    std::vector<float> in (512, 1.0f), out (512, 0.25f);
    float* ins[] = { in.data(), in.data() };
    float* outs[] = { out.data(), out.data() };
    e->process (e, ins, outs, 512);
    EXPECT_EQ (std::count (out.begin(), out.end(), 0.25f), 512);
    EXPECT_EQ (p.plugin.getNumProcessEventsCalls(), 0);

    std::vector<double> din (512, 1.0), dout (512, 0.5);
    double* dins[] = { din.data(), din.data() };
    double* douts[] = { dout.data(), dout.data() };
    e->processDoubleReplacing (e, dins, douts, 512);
    EXPECT_EQ (dout[7], 0.5);

    e->setParameter (e, 0, 1.0f);
    EXPECT_EQ (e->getParameter (e, 0), 0.0f);
    EXPECT_EQ (e->getParameter (e, 99), 0.0f);
}

//==============================================================================
struct Answer
{
    int32_t opcode, index;
    intptr_t value;
    intptr_t expected;
    const char* text = nullptr; // what lands in the buffer, where one is passed
};

TEST (Dispatcher, AnswersAsAHostReadsThem)
{
    vsthost::Plugin plugin (pluginLibrary());
    ASSERT_TRUE (plugin.isLoaded());

    const Answer answers[] = {
        { effGetEffectName, 0, 0, 1, "Polyquinta" },
        { effGetVendorString, 0, 0, 1, "Brask Lab" },
        { effGetProductString, 0, 0, 1, "Polyquinta" },
        { effGetVendorVersion, 0, 0, 100 },
        { effGetVstVersion, 0, 0, 2400 },
        { effGetPlugCategory, 0, 0, 1 },
        { effIdentify, 0, 0, 0x4e764566 },
        { effGetCurrentMidiProgram, 0, 0, -1 },
        { effSetTotalSampleToProcess, 0, 4096, 4096 },
        { effCanBeAutomated, 3, 0, 1 },
        { effGetTailSize, 0, 0, 0 },
        { effSetBypass, 0, 1, 1 },
        // no programs, no parameters: empty names, and a program change is nothing
        { effSetProgram, 0, 5, 0 },
        { effGetProgram, 0, 0, 0 },
        { effGetProgramName, 0, 0, 0, "" },
        { effGetParamLabel, 0, 0, 0, "" },
        { effGetParamDisplay, 0, 0, 0, "" },
        { effGetParamName, 0, 0, 0, "" },
        { effGetProgramNameIndexed, 0, 0, 0, "unchanged" },
    };

    for (auto& a : answers)
    {
        char buffer[64] = "unchanged";
        EXPECT_EQ (plugin.dispatch (a.opcode, a.index, a.value, a.text != nullptr ? buffer : nullptr), a.expected) << a.opcode;
        if (a.text != nullptr)
        {
            EXPECT_STREQ (buffer, a.text) << a.opcode;
        }
    }

    for (int opcode : { 9, 16, 17, 18, 20, 21, 27, 28, 30, 31, 32, 36, 37, 38, 39, 40, 41, 43, 46, 50, 53, 54, 55, 56,
                        57, 59, 60, 61, 62, 64, 65, 66, 67, 68, 70, 71, 72, 74, 75, 76, 77, 78, 79, 80, 500, -1 })
        EXPECT_EQ (plugin.dispatch (opcode, 0, 0, nullptr), 0) << opcode;

    EXPECT_EQ (plugin.dispatch (effSetProgramName, 0, 0, const_cast<char*> ("Lead")), 0);
    EXPECT_EQ (plugin.getText (effGetProgramName, 0, 24), "");
    EXPECT_EQ (plugin.dispatch (effEditOpen, 0, 0, nullptr), 0);

    // The short label goes into 7 bytes: six characters and the terminator.
    VstPinProperties pin;
    std::memset (&pin, 0x7f, sizeof (pin));
    plugin.dispatch (effGetInputProperties, 0, 0, &pin);
    EXPECT_STREQ (pin.shortLabel, "Polyqu");
    EXPECT_EQ (pin.shortLabel[7], 0x7f);

    EXPECT_EQ (plugin.close(), 1);
}

TEST (Dispatcher, CapabilitiesComparedExactly)
{
    vsthost::Plugin plugin (pluginLibrary());
    auto canDo = [&] (const char* text) { return plugin.dispatch (effCanDo, 0, 0, const_cast<char*> (text)); };

    for (auto* yes : { "receiveVstEvents", "receiveVstMidiEvent", "receiveVstMidiEvents", "sendVstEvents",
                       "sendVstMidiEvent", "sendVstMidiEvents", "receiveVstTimeInfo", "conformsToWindowRules", "bypass" })
        EXPECT_EQ (canDo (yes), 1) << yes;

    EXPECT_EQ (canDo ("openCloseAnyThread"), -1);

    for (auto* no : { "receiveVstTimeInfo ", "ReceiveVstEvents", "bypas", "", "sizeWindow", "midiProgramNames", "plugAsChannelInsert" })
        EXPECT_EQ (canDo (no), 0) << no;

    EXPECT_EQ (plugin.dispatch (effCanDo, 0, 0, nullptr), 0);
}

TEST (Dispatcher, StateChunkRoundTrip)
{
    vsthost::Plugin source (pluginLibrary()), restored (pluginLibrary());
    auto chunkOf = [] (vsthost::Plugin& p) {
        void* data = nullptr;
        const auto size = p.dispatch (effGetChunk, 0, 0, &data);
        return std::make_pair (std::string (static_cast<char*> (data), (size_t) size), data);
    };
    const auto [defaults, defaultData] = chunkOf (source);
    ASSERT_EQ (defaults.size(), 229u);
    EXPECT_EQ (defaults.substr (0, 38), std::string ("VC2!\xdc\0\0\0<Root><chordThru>1</chordThru>", 38));

    // A project saved with other settings, handed to a fresh instance; a copy loads back into the first.
    loadSettings (restored, { { Settings::chanOutSolo, 5 }, { Settings::splitPoint, 60 } });
    auto [written, writtenData] = chunkOf (restored);
    EXPECT_NE (written.find ("<chanOutSolo>5</chanOutSolo><splitPoint>60</splitPoint>"), std::string::npos);
    EXPECT_EQ (source.dispatch (effSetChunk, 0, (intptr_t) written.size(), written.data()), 0);
    EXPECT_EQ (chunkOf (source).first, written);

    // The bytes handed out stay valid while the host does other things, until the next chunk request.
    const auto [kept, keptData] = chunkOf (source);
    char name[64];
    source.dispatch (effGetEffectName, 0, 0, name);
    source.dispatch (effMainsChanged, 0, 1);
    source.dispatch (effMainsChanged, 0, 0);
    EXPECT_EQ (std::string (static_cast<char*> (keptData), kept.size()), kept);

    // Rejected and careless chunks answer 0 and change nothing.
    EXPECT_EQ (source.dispatch (effSetChunk, 0, 5, const_cast<char*> ("junk!")), 0);
    EXPECT_EQ (source.dispatch (effSetChunk, 0, 100, nullptr), 0);
    EXPECT_EQ (source.dispatch (effSetChunk, 0, -3, const_cast<char*> ("x")), 0);
    EXPECT_EQ (source.dispatch (effGetChunk, 0, 0, nullptr), 0);
    EXPECT_EQ (chunkOf (source).first, written);
}

TEST (Dispatcher, PinsAndSpeakerArrangements)
{
    vsthost::Plugin plugin (pluginLibrary());
    VstPinProperties pin {};
    auto pinOf = [&] (int32_t opcode, int32_t index) {
        pin = {};
        return plugin.dispatch (opcode, index, 0, &pin) == 1 ? std::string (pin.label) + "|" + pin.shortLabel + "|" + std::to_string (pin.flags) + "|" + std::to_string (pin.arrangementType) : "refused";
    };

    EXPECT_EQ (pinOf (effGetInputProperties, 1), "Polyquinta 2|Polyqu|3|0");
    EXPECT_EQ (pinOf (effGetOutputProperties, 0), "Polyquinta 1|Polyqu|3|0");
    EXPECT_EQ (pinOf (effGetInputProperties, 2), "refused");
    EXPECT_EQ (pinOf (effGetOutputProperties, -1), "refused");
    EXPECT_EQ (plugin.dispatch (effGetInputProperties, 0, 0, nullptr), 0);

    VstSpeakerArrangement mono {}, stereo {};
    mono.numChannels = 1;
    stereo.type = 1;
    stereo.numChannels = 2;
    EXPECT_EQ (plugin.dispatch (effSetSpeakerArrangement, 0, (intptr_t) &mono, &stereo), 0);
    EXPECT_EQ (pinOf (effGetOutputProperties, 0), "Polyquinta 1|Polyqu|3|0"); // unchanged by a refused arrangement

    EXPECT_EQ (plugin.dispatch (effSetSpeakerArrangement, 0, (intptr_t) &mono, &mono), 1);
    EXPECT_EQ (pinOf (effGetOutputProperties, 0), "Polyquinta 1|Polyqu|4|0");
    EXPECT_EQ (pinOf (effGetOutputProperties, 1), "||4|0"); // one channel now
    EXPECT_EQ (plugin.getEffect()->numOutputs, 2);

    EXPECT_EQ (plugin.dispatch (effSetSpeakerArrangement, 0, (intptr_t) &stereo, &stereo), 1);
    EXPECT_EQ (pinOf (effGetInputProperties, 1), "Polyquinta 2|Polyqu|4|1");
    EXPECT_EQ (plugin.dispatch (effSetSpeakerArrangement, 0, 0, &stereo), 0);

    VstSpeakerArrangement* in = &mono;
    VstSpeakerArrangement* out = &stereo;
    EXPECT_EQ (plugin.dispatch (effGetSpeakerArrangement, 0, (intptr_t) &in, &out), 0);
    EXPECT_EQ (in, nullptr);
    EXPECT_EQ (out, nullptr);
}
} // namespace
