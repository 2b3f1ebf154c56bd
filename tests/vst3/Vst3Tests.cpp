// The VST3 plug-in as the framework's own VST3 hosting loads it: the other
// formats' answers byte for byte, controllers coming in as the framework's
// controller parameters and going out as legacy controller events.

#include "PluginFixture.h"
#include "RandomStream.h"
#include "Vst3Player.h"

#if ! defined(_WIN32)
 #include "AllocationCounter.h"
#endif

#include "HostWindows.h" // after the framework: X11 defines None

#include <algorithm>
#include <thread>

namespace
{
using vst3host::Player;

/** A chord held and a melody moving at the block start, every event giving seven back. */
Events denseBlock()
{
    Events dense = notes (1, { 36, 40, 43 }, 100);
    for (int i = 0; i < 700; ++i)
        dense.push_back (i % 2 == 0 ? on (1, 60 + i / 2 % 24, 90) : off (1, 60 + i / 2 % 24));
    return dense;
}

TEST (Vst3, AnswersAsTheOtherFormatsDo)
{
    Player p;

    // Hosts that replace the VST 2 plug-in find this one by identifiers that follow from its own.
    Steinberg::TUID controller;
    Steinberg::char8 id[33] {};
    p.component->getControllerClassId (controller);
    Steinberg::FUID::fromTUID (controller).toString (id);
    EXPECT_STREQ (id, "56534550717A74706F6C797175696E74");

    for (auto& block : workedBlocks())
        EXPECT_EQ (received (p.run (block.played)), block.answered);
    Player typed;
    expectHarmonyTypeTakenFromTheState (typed);

    const Events dump { { 10, { 0xf0, 0x7e, 0x01, 0xf7 } } };
    const std::pair<Events, Events> blocks[] = {
        // The harmony controller, pitch bend and channel pressure as parameters at their positions; a dump whole.
        { Events { cc (3, 32, 0, 7), pb (3, 8), { 9, { 0xd2, 0x55 } } } + dump, Events { cc (3, 32, 0, 7), pb (3, 8), { 9, { 0xd2, 0x55 } } } + dump },
        // Harmony off: the melody moves, the voices go and none come.
        { { on (1, 76, 70, 5) }, notes (2, { 64, 67, 72 }, 0, true) + Events { on (2, 76, 70, 5) } },
        // All Notes Off goes out on every channel with notes sounding too.
        { { cc (5, 123, 0, 40) }, { cc (5, 123, 0, 40), cc (1, 123, 0, 40), cc (2, 123, 0, 40) } },
    };
    for (auto& [played, answered] : blocks)
        EXPECT_EQ (received (p.run (played)), answered);

    // More than the wrapper hands a host at once: the rest comes at the start of the next blocks.
    ActivePlugin vst2;
    Player fresh;
    const auto expected = received (vst2.run (denseBlock()));
    auto answered = received (fresh.run (denseBlock()));
    EXPECT_EQ (answered.size(), 2048u);
    for (int i = 0; i < 3; ++i)
        answered = answered + received (fresh.run ({}));
    EXPECT_EQ (answered, expected);
}

TEST (Vst3, NeverStuckInRandomStreams)
{
    for (unsigned seed = 1; seed <= 100 && ! HasFailure(); ++seed)
    {
        // Bypass is the VST3 bypass, a restart processing off and on, a load a state.
        StreamPlayer<Player> s (64);
        expectNothingStuck (s, seed);
    }

    StreamPlayer<Player> overloaded (64);
    expectNothingStuckUnderOverload (overloaded, 1);
}

// The state carries the VST 2 plug-in's chunk, every setting in it; a host that replaces the VST 2
// plug-in hands that over (here a single program, the bank being what the
// plug-in writes itself); whatever else comes changes nothing.
TEST (Vst3, StateCarriesTheVst2ChunkAndAnUnreadableOneChangesNothing)
{
    Player a, b;
    ActivePlugin vst2;
    void* chunk = nullptr;
    const auto size = vst2.plugin.dispatch (effGetChunk, 0, 0, &chunk);
    EXPECT_NE (a.state().find (std::string (static_cast<char*> (chunk), (size_t) size)), std::string::npos);

    const auto moved = settingsChunk (everySettingMovedElements());
    const auto be32 = [] (size_t v) { return std::string { (char) (v >> 24), (char) (v >> 16), (char) (v >> 8), (char) v }; };
    EXPECT_TRUE (a.setState ("CcnK" + be32 (0) + "FPCh" + std::string (44, '\0') + be32 (moved.size()) + moved));
    EXPECT_NE (a.state().find ("<Root>" + everySettingMovedElements() + "</Root>"), std::string::npos);
    EXPECT_TRUE (b.setState (a.state()));
    EXPECT_EQ (b.state(), a.state());

    const auto kept = b.state();
    const std::string unreadable[] = { "", "VstW", std::string ("VstW\x7f\xff\xff\xf0", 8), std::string ("CcnK\0\0\0\0FBCh", 12),
                                       "CcnK" + be32 (0) + "FBCh" + std::string (144, '\0') + be32 (0x7fffff00) + "VC2!" + std::string (8, '\xff'),
                                       "VST3" + std::string (36, '\0') + std::string (8, '\xff'), "a foreign plug-in's state", chunkWithText ("<<< not xml"),
                                       chunkWithText ("<Root><splitPoint>70</splitPoint>", 0x7fffffff) + "\xff\xff\xff\x7f\0\0\0\0JUCEPrivateData" };
    for (auto& state : unreadable)
    {
        EXPECT_FALSE (b.setState (state)) << state;
        EXPECT_EQ (b.state(), kept) << state;
    }
}

// A host that waits inside its own call for a restart it is asked for there
// (Ardour 7.3 loading a preset) is asked only once that call has returned.
TEST (Vst3, RestartsReachTheHostOnlyAfterItsOwnCallReturns)
{
    struct Handler : vst3host::NotCounted<Steinberg::Vst::IComponentHandler>
    {
        Steinberg::tresult PLUGIN_API beginEdit (Steinberg::Vst::ParamID) override { return Steinberg::kResultOk; }
        Steinberg::tresult PLUGIN_API performEdit (Steinberg::Vst::ParamID, Steinberg::Vst::ParamValue) override { return Steinberg::kResultOk; }
        Steinberg::tresult PLUGIN_API endEdit (Steinberg::Vst::ParamID) override { return Steinberg::kResultOk; }
        Steinberg::tresult PLUGIN_API restartComponent (Steinberg::int32 flags) override
        {
            (inside ? duringCall : afterCall) |= flags;
            return Steinberg::kResultOk;
        }
        std::atomic<bool> inside { false };
        std::atomic<Steinberg::int32> duringCall { 0 }, afterCall { 0 };
    } handler;

    Player source;
    source.load (settingElements ({ { Settings::splitPoint, 60 } }));
    auto state = source.state();
    vst3host::RawInstance p (handler);

    handler.inside = true;
    Steinberg::MemoryStream forComponent (state.data(), (Steinberg::TSize) state.size()), forController (state.data(), (Steinberg::TSize) state.size());
    EXPECT_EQ (p.component->setState (&forComponent), Steinberg::kResultOk);
    p.controller->setComponentState (&forController);
    handler.inside = false;

    for (int i = 0; i < 200 && handler.afterCall == 0; ++i)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (10); // Windows delivers the plug-in's timer here
    EXPECT_EQ (handler.duringCall, 0);
    EXPECT_NE (handler.afterCall & Steinberg::Vst::kParamValuesChanged, 0);
}

// What the framework's wrapper takes on trust, met instead by the plug-in.
TEST (Vst3, HostsThatBendTheRulesCrashNothing)
{
    Player p (64);

    // A block longer than announced goes in parts, every event at its place,
    // the audio passed through whole.
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 200; ++i)
            p.audio[(size_t) c][(size_t) i] = (float) (c + 1) * (float) i;
    const Events played { on (1, 72, 90, 10), on (1, 74, 90, 150), off (1, 72, 0, 199) };
    EXPECT_EQ (received (p.run (played, 200)), (Events { on (2, 72, 90, 10), on (2, 74, 90, 150), off (2, 72, 0, 199) }));
    for (int c = 0; c < 2; ++c)
        EXPECT_TRUE (std::equal (p.audio[(size_t) c].begin(), p.audio[(size_t) c].begin() + 200, p.audio[2 + (size_t) c].begin())) << c;

    // Switched off, it takes one bus each way, mono or stereo, refuses every
    // other arrangement, and blocks.
    p.instance->releaseResources();
    using namespace Steinberg::Vst::SpeakerArr;
    Steinberg::Vst::SpeakerArrangement stereo[] { kStereo, kStereo }, mono[] { kMono }, oddBit[] { 1ull << 63 }, surround[] { k51 };
    const struct
    {
        Steinberg::Vst::SpeakerArrangement* in;
        int ins;
        Steinberg::Vst::SpeakerArrangement* out;
        int outs;
        bool accepted;
    } arrangements[] = { { stereo, 1, stereo, 2, false }, { stereo, 2, stereo, 1, false }, { stereo, 0, stereo, 0, false }, { stereo, 0, stereo, 1, false }, { stereo, 1, stereo, 0, false }, { stereo, 1, oddBit, 1, false }, { oddBit, 1, stereo, 1, false }, { surround, 1, stereo, 1, false }, { mono, 1, mono, 1, true }, { stereo, 1, stereo, 1, true } };
    for (auto& a : arrangements)
        EXPECT_EQ (p.processor->setBusArrangements (a.in, a.ins, a.out, a.outs) == Steinberg::kResultOk, a.accepted)
            << a.ins << " in, " << a.outs << " out";
    EXPECT_EQ (p.process(), Steinberg::kNotInitialized);
}

// The editor in a host's window (an X11 window on Linux, the framework's
// hosting offering its run loop; a window of this thread on Windows) shows the
// playing and closes during playback. The audio thread meanwhile plays random
// performances, with the host switching the bypass and loading projects
// between blocks; on Linux it is counted.
TEST (Vst3, EditorAndAudioThreadTogether)
{
    if (! haveDisplay())
        GTEST_SKIP() << "needs a display (the test command runs under Xvfb)";

    Player p (64);
    HostWindows host;
    std::unique_ptr<juce::AudioProcessorEditor> editor (p.instance->createEditorIfNeeded());
    ASSERT_NE (editor, nullptr);
    editor->addToDesktop (0, (void*) (uintptr_t) host.container);
    editor->setVisible (true);
    p.run (workedBlocks()[0].played);
    juce::MessageManager::getInstance()->runDispatchLoopUntil (500);
    expectShowsTheWorkedChord (host);

    auto blocks = recordedStreams (5, 6);
    blocks.push_back (denseBlock()); // counted the first time it comes
    std::vector<std::string> projects;
    for (unsigned seed = 1; seed <= 64; ++seed)
        projects.push_back (randomProject (seed));
    constexpr int warmUp = 0, numBlocks = 20000;
    std::atomic<bool> done { false };
    std::thread audio ([&] {
        bool bypassed = false;
        const auto between = [&] (int i) {
            p.queue (blocks[(size_t) (i + warmUp) % blocks.size()]);
            if (i % 7 == 0)
                p.bypass (bypassed = ! bypassed);
            if (i % 11 == 0)
                p.load (projects[(size_t) (i / 11) % projects.size()]);
        };
#if defined(_WIN32)
        for (int i = -warmUp; i < numBlocks; ++i)
            between (i), p.process();
#else
        expectRealtimeBlocks (warmUp, numBlocks, between, [&] (int) { p.process(); });
#endif
        done = true;
    });
    juce::MessageManager::getInstance()->runDispatchLoopUntil (100);
    editor.reset();
    EXPECT_FALSE (host.editorWindow());
    while (! done)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (10);
    audio.join();
}
} // namespace
