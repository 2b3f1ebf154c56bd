// The processor through its block function: the worked examples, the split,
// re-channelling, the voicing rules at the keyboard's edges, controllers,
// split-point learning, and releases that follow their own note-ons. Each case
// is a script of blocks, each block with the events it must send back.

#include "EngineHarness.h"
#include "SettingsText.h"

#include <functional>
#include <optional>

namespace
{
using Setup = std::function<void (myAudioProcessor&)>;

struct Block
{
    Block (Events i, std::optional<Events> o = {}, Setup b = {}) : in (std::move (i)), out (std::move (o)), before (std::move (b)) {}

    Events in;
    std::optional<Events> out; // none: not checked
    Setup before; // settings changed under the player's hands
};

struct Script
{
    const char* name;
    std::vector<Block> blocks;
};

void PrintTo (const Script& s, std::ostream* os) { *os << s.name; }

Events chord (std::initializer_list<int> keys) { return notes (1, keys, 100); }

const Events cMajor = chord ({ 36, 40, 43 });

class Scripts : public ::testing::TestWithParam<Script>
{};

TEST_P (Scripts, SendExactlyTheseEvents)
{
    myAudioProcessor p;
    int index = 0;

    for (auto& block : GetParam().blocks)
    {
        if (block.before)
            block.before (p);

        const auto out = runBlock (p, block.in);
        if (block.out)
        {
            EXPECT_EQ (out, *block.out) << "block " << index;
        }
        ++index;
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P (Engine, Scripts, ::testing::Values (
    Script { "MelodyChangeStrikesTheVoicesWithTheFirstStrikesVelocity", {
        { cMajor }, { { on (1, 72, 70) } },
        { { on (3, 72, 30) } }, // a second strike of the reference key does not set the velocity
        { { on (1, 73, 120, 10) },
          notes (2, { 60, 64, 67 }, 0, true) + notes (2, { 60, 64, 67 }, 70) + Events { on (2, 73, 120, 10) } } } },

    Script { "LowestHeldSoloKeySetsVelocity", {
        { chord ({ 36, 40 }) }, { { on (1, 72, 50) } },
        { { on (1, 84, 127, 2) }, Events { off (2, 60), off (2, 64), on (2, 60, 50), on (2, 64, 50), on (2, 84, 127, 2) } } } },

    Script { "ChordChangeWhileSoloHeldRevoicesAtTheBlockStart", {
        { chord ({ 36, 40 }) }, { { on (1, 72, 90) } },
        { { on (1, 43, 100, 200) },
          Events { off (2, 60), off (2, 64) } + notes (2, { 60, 64, 67 }, 90) + Events { on (1, 43, 100, 200) } } } },

    // The cap leaves out the lowest voices: counted with the held melody keys.
    Script { "CapLeavesOutTheLowestVoices", {
        { cMajor + Events { on (1, 72, 90, 5) }, {}, [] (auto& p) { p.set (Settings::maxSoloVoices, 3); } },
        { { on (1, 79, 90, 5) }, notes (2, { 64, 67 }, 0, true) + Events { on (2, 67, 90), on (2, 79, 90, 5) } } } },
    Script { "CapWithAFourNoteChord", {
        { chord ({ 36, 40, 43, 46 }) + Events { on (1, 60, 90, 5) }, {}, [] (auto& p) { p.set (Settings::maxSoloVoices, 4); } },
        { { on (1, 64, 90, 5) }, notes (2, { 52, 55, 58 }, 0, true) + notes (2, { 55, 58 }, 90) + Events { on (2, 64, 90, 5) } } } },

    Script { "CappedVoicesNeverSoundSoNeverGetNoteOffs", {
        { cMajor, {}, [] (auto& p) { p.set (Settings::maxSoloVoices, 1); } },
        { { on (1, 72, 90) }, Events { on (2, 72, 90) } },
        { { off (1, 72, 0, 1) }, Events { off (2, 72, 0, 1) } } } },

    Script { "HarmonyOffOnlyTurnsVoicesOffAtTheNextUpdate", {
        { chord ({ 36, 40 }) }, { { on (1, 72, 90) } },
        { { cc (1, 32, 0) }, Events { cc (1, 32, 0) } },
        { { on (1, 76, 90, 3) }, Events { off (2, 60), off (2, 64), on (2, 76, 90, 3) } },
        { { cc (1, 32, 127), off (1, 40) }, Events { cc (1, 32, 127), off (1, 40) } } } },

    Script { "HarmonyControllerOnFromSixtyFourOnAnyChannel", {
        { chord ({ 36, 40 }) }, { { on (1, 72, 90) } },
        { { cc (7, 32, 63, 3) }, Events { cc (7, 32, 63, 3) } },
        { { on (1, 74, 90, 1) }, Events { off (2, 60), off (2, 64), on (2, 74, 90, 1) } },
        { { cc (16, 32, 64, 3) }, Events { cc (16, 32, 64, 3) } },
        { { on (1, 76, 90, 1) }, notes (2, { 60, 64 }, 90) + Events { on (2, 76, 90, 1) } } } },

    Script { "ReleasingTheLastSoloKeySendsOnlyVoiceOffs", {
        { cMajor }, { { on (1, 72, 90) } },
        { { off (1, 72, 0, 7) }, Events { off (2, 60), off (2, 64), off (2, 67), off (2, 72, 0, 7) } } } },

    Script { "KeysZeroAnd127AreReferencesToo", {
        { chord ({ 36, 40 }), {}, [] (auto& p) { p.set (Settings::splitPoint, 60); } },
        { { on (1, 127, 90, 1) }, notes (2, { 120, 124 }, 90) + Events { on (2, 127, 90, 1) }, [] (auto& p) { p.set (Settings::splitPoint, 0); } },
        // Key 0 is now the lowest held solo key: every voice would lie below note 0.
        { { on (1, 0, 90, 1) }, Events { off (2, 120), off (2, 124), on (2, 0, 90, 1) } } } },

    Script { "SplitKeyItselfIsTheFirstSoloKey", {
        { chord ({ 36, 40 }) },
        { { on (5, 47, 77, 9) }, Events { on (1, 47, 77, 9) } },
        { { on (5, 48, 66, 9) }, Events { on (2, 35, 66), on (2, 36, 66), on (2, 40, 66), on (2, 48, 66, 9) } } } },

    Script { "ChordPassThroughOffStillTracksAndRevoices", {
        { { on (1, 72, 90) }, {}, [] (auto& p) { p.set (Settings::chordThru, 0); } },
        { { on (1, 36, 100, 4) }, Events {} },
        { { on (1, 40, 100, 4) }, Events { on (2, 60, 90), on (2, 64, 90) } },
        { { off (1, 36, 0, 4) }, Events { off (2, 60), off (2, 64) } } } },

    // A foreign state may hold any number: only exactly 1 passes the chord on.
    Script { "ChordPassThroughIsOnOnlyAtExactlyOne", {
        { { on (1, 36, 100) }, Events {}, [] (auto& p) { p.set (Settings::chordThru, 2); } },
        { { on (1, 38, 100) }, Events {}, [] (auto& p) { p.set (Settings::chordThru, -1); } },
        { { on (1, 40, 100) }, Events { on (1, 40, 100) }, [] (auto& p) { p.set (Settings::chordThru, 1); } } } },

    Script { "ReleaseVelocityKeptAndVelocityZeroNoteOnsStayNoteOns", {
        { { on (3, 40, 100), on (3, 72, 100) } },
        { { off (3, 40, 55, 1), on (3, 72, 0, 2) }, Events { off (1, 40, 55, 1), on (2, 72, 0, 2) } },
        { { on (1, 74, 90) }, Events { on (2, 74, 90) } } } }, // 40 and 72 are up: no voices

    Script { "AKeyStruckTwiceIsUpAfterOneRelease", {
        { { on (1, 36, 100), on (1, 40, 100), on (3, 40, 100), off (1, 40) } },
        { { on (1, 60, 30), on (2, 60, 99) } },
        { { off (1, 60) } },
        // 40 is still down once; 60 is up, so 72 is the reference.
        { { on (1, 72, 90, 1) }, Events { on (2, 60, 90), on (2, 64, 90), on (2, 72, 90, 1) } } } },

    Script { "AllNotesOffEndsTheVoicesFirstAndForgetsTheHeldKeys", {
        { cMajor }, { { on (1, 72, 90) } },
        { { pb (3), cc (5, 123, 0, 40) },
          Events { pb (3), off (2, 60, 0, 40), off (2, 64, 0, 40), off (2, 67, 0, 40), cc (5, 123, 0, 40),
                   cc (1, 123, 0, 40), cc (2, 123, 0, 40) } },
        { { on (1, 74, 90, 1) }, Events { on (2, 74, 90, 1) } } } },

    Script { "HarmonyControllerSetTo123StillPanics", {
        { { on (1, 36, 100), on (1, 40, 100), on (1, 72, 90) }, {}, [] (auto& p) { p.set (Settings::ccHarmonyCtl, 123); } },
        { { cc (1, 123, 0) } },
        { { on (1, 74, 90) }, Events { on (2, 74, 90) } } } },

    Script { "OtherMessagesAndMalformedNotesPassUnchanged", {
        { { { 1, { 0xe3, 0x00, 0x40 } }, { 2, { 0xd4, 0x55 } }, { 3, { 0xa5, 0x3c, 0x20 } }, { 4, { 0xc6, 0x07 } },
            { 5, { 0xf0, 0x7e, 0x01, 0x02, 0xf7 } }, { 6, { 0xb2, 0x07, 0x64 } }, { 7, { 0x90, 0x80, 0x40 } },
            { 8, { 0x85, 0xff, 0x00 } } },
          Events { { 1, { 0xe3, 0x00, 0x40 } }, { 2, { 0xd4, 0x55 } }, { 3, { 0xa5, 0x3c, 0x20 } }, { 4, { 0xc6, 0x07 } },
                   { 5, { 0xf0, 0x7e, 0x01, 0x02, 0xf7 } }, { 6, { 0xb2, 0x07, 0x64 } }, { 7, { 0x90, 0x80, 0x40 } },
                   { 8, { 0x85, 0xff, 0x00 } } } },
        { {}, Events {} } } },

    Script { "OutOfRangeChannelSettingsAreLimited", {
        { chord ({ 36, 40 }), {}, [] (auto& p) { p.set (Settings::chanOutChord, 0); p.set (Settings::chanOutSolo, 40); } },
        { { on (1, 72, 90, 1) }, Events { on (16, 60, 90), on (16, 64, 90), on (16, 72, 90, 1) } } } },

    Script { "ReleasesGoWhereTheirNoteOnsWent", {
        { { on (1, 40, 100), on (1, 72, 90) } },
        { { off (1, 40, 0, 1), off (1, 72, 0, 2) }, Events { off (1, 40, 0, 1), off (2, 72, 0, 2) },
          [] (auto& p) { p.set (Settings::chanOutChord, 5); p.set (Settings::chanOutSolo, 6); } },
        { { on (1, 40, 100) }, Events { on (5, 40, 100) } } } },

    Script { "ChordKeysReleasedAfterTheSplitMovedLeaveNoPhantom", {
        { cMajor },
        { { off (1, 40), off (1, 43) }, Events { off (1, 40), off (1, 43) }, [] (auto& p) { p.set (Settings::splitPoint, 38); } },
        { { on (1, 72, 90) }, Events { on (2, 72, 90) } } } },

    Script { "VoiceOffsGoWhereTheVoicesWent", {
        { chord ({ 36, 40 }) }, { { on (1, 72, 90) } },
        { { on (1, 74, 80, 1) }, Events { off (2, 60), off (2, 64), on (9, 60, 90), on (9, 64, 90), on (9, 74, 80, 1) },
          [] (auto& p) { p.set (Settings::chanOutSolo, 9); } } } },

    Script { "ChordPassThroughSwitchedOffStillEndsPassedNotes", {
        { { on (1, 40, 100) } },
        { { off (1, 40) }, Events { off (1, 40) }, [] (auto& p) { p.set (Settings::chordThru, 0); } },
        { { on (1, 40, 100) }, Events {} } } },

    Script { "LearnedNoteOnIsSwallowedAndSoIsItsRelease", {
        { cMajor },
        { { cc (1, 7, 100), pb (1) }, Events { cc (1, 7, 100), pb (1) }, [] (auto& p) { p.learnSplitPoint = true; } },
        { { on (1, 60, 90) }, Events {} },
        { { off (1, 60, 0, 3) }, Events {} },
        { { on (1, 59, 90) }, Events { on (1, 59, 90) } } } }, // split point 60 now

    Script { "LearnedReleaseOfAHeldKeyStillEndsTheNote", {
        { { on (1, 52, 90) } },
        { { off (1, 52, 0, 3) }, Events { off (2, 52, 0, 3) }, [] (auto& p) { p.learnSplitPoint = true; } },
        { { on (1, 50, 90) }, Events { on (1, 50, 90) } } } },

    // The old voices end before the event that calls for new ones, which follow it.
    Script { "VoicesWithTheMelodyNoteGoAtItsPosition", {
        { cMajor, {}, [] (auto& p) { p.set (Settings::voicesWithMelody, 1); } },
        { { on (1, 72, 90, 100), off (1, 43, 0, 200), on (1, 45, 100, 200) },
          Events { on (2, 72, 90, 100) } + notes (2, { 60, 64, 67 }, 90, false, 100)
              + notes (2, { 60, 64, 67 }, 0, true, 200) + Events { off (1, 43, 0, 200) } + notes (2, { 60, 64 }, 90, false, 200)
              + notes (2, { 60, 64 }, 0, true, 200) + Events { on (1, 45, 100, 200) } + notes (2, { 60, 64, 69 }, 90, false, 200) },
        { { off (1, 72, 0, 50) }, notes (2, { 60, 64, 69 }, 0, true, 50) + Events { off (2, 72, 0, 50) } } } },

    // Pedals from any channel to both; a release reaches where its press went; the harmony switch stays one.
    Script { "PedalsOnBothSounds", {
        { { cc (3, 64, 127, 5), cc (3, 67, 0, 6), cc (3, 65, 127, 7) },
          Events { cc (1, 64, 127, 5), cc (2, 64, 127, 5), cc (1, 67, 0, 6), cc (2, 67, 0, 6), cc (3, 65, 127, 7) },
          [] (auto& p) { p.set (Settings::pedalsToBoth, 1); } },
        { { cc (3, 64, 0, 9) }, Events { cc (1, 64, 0, 9), cc (2, 64, 0, 9), cc (3, 64, 0, 9) }, [] (auto& p) { p.set (Settings::pedalsToBoth, 0); } },
        { { cc (3, 64, 0, 2), cc (4, 66, 127, 3) }, Events { cc (3, 64, 0, 2), cc (1, 66, 127, 3) },
          [] (auto& p) { p.set (Settings::pedalsToBoth, 1); p.set (Settings::ccHarmonyCtl, 64); p.set (Settings::chanOutSolo, 1); } },
        { cMajor + Events { on (1, 72, 90, 1) }, cMajor + Events { on (1, 72, 90, 1) } },
        // The voices' own channel hears them too.
        { { cc (4, 67, 127, 3) }, Events { cc (1, 67, 127, 3), cc (7, 67, 127, 3) }, [] (auto& p) { p.set (Settings::voiceChannel, 7); } } } },

    // The harmony settings. Voice level: halves round up, the top is 127.
    Script { "VoiceLevelScalesTheVoicesVelocity", {
        { cMajor, {}, [] (auto& p) { p.set (Settings::voiceLevel, 50); } },
        { { on (1, 72, 91) }, Events { on (2, 72, 91) } + notes (2, { 60, 64, 67 }, 46) },
        { { on (1, 74, 80, 1) }, notes (2, { 60, 64, 67 }, 0, true) + notes (2, { 60, 64, 67 }, 127) + Events { on (2, 74, 80, 1) },
          [] (auto& p) { p.set (Settings::voiceLevel, 200); } } } },

    // Voice offs follow their ons to the old channel; a panic reaches the voices' channel.
    Script { "VoiceChannelCarriesTheVoices", {
        { cMajor, {}, [] (auto& p) { p.set (Settings::voiceChannel, 5); } },
        { { on (1, 72, 90) }, Events { on (2, 72, 90) } + notes (5, { 60, 64, 67 }, 90) },
        { { on (1, 74, 80, 1) }, notes (5, { 60, 64, 67 }, 0, true) + notes (6, { 60, 64, 67 }, 90) + Events { on (2, 74, 80, 1) },
          [] (auto& p) { p.set (Settings::voiceChannel, 6); } },
        { { cc (1, 123, 0) }, notes (6, { 60, 64, 67 }, 0, true) + Events { cc (1, 123, 0), cc (2, 123, 0), cc (6, 123, 0) } } } },

    Script { "TouchLimitBelowAndAt", {
        { cMajor, {}, [] (auto& p) { p.set (Settings::touchLimit, 80); } },
        { { on (1, 72, 79) }, Events { on (2, 72, 79) } },
        { { off (1, 72) }, Events { off (2, 72) } },
        { { on (1, 74, 80, 1) }, notes (2, { 64, 67, 72 }, 80) + Events { on (2, 74, 80, 1) } } } },

    // Ragged releases: C E G, then E G, then the remembered C E G; All Notes Off forgets it.
    Script { "ChordMemoryKeepsTheLastChord", {
        { cMajor + Events { on (1, 72, 90) }, {}, [] (auto& p) { p.set (Settings::chordMemory, 1); } },
        { { off (1, 36, 0, 5), off (1, 40, 0, 6) },
          notes (2, { 60, 64, 67 }, 0, true) + notes (2, { 64, 67 }, 90) + notes (2, { 64, 67 }, 0, true) + notes (2, { 60, 64, 67 }, 90)
              + Events { off (1, 36, 0, 5), off (1, 40, 0, 6) } },
        { { off (1, 43, 0, 5) }, notes (2, { 60, 64, 67 }, 0, true) + notes (2, { 60, 64, 67 }, 90) + Events { off (1, 43, 0, 5) } },
        { { cc (1, 123, 0) }, notes (2, { 60, 64, 67 }, 0, true) + Events { cc (1, 123, 0), cc (2, 123, 0) } },
        { { on (1, 76, 90, 1) }, Events { on (2, 76, 90, 1) } } } },

    // A key over the reference changes nothing; a step keeps the shared voices.
    Script { "HoldUnchangedVoicesSendsOnlyWhatChanges", {
        { cMajor + Events { on (1, 72, 90) }, {}, [] (auto& p) { p.set (Settings::holdVoices, 1); } },
        { { on (1, 79, 100, 3) }, Events { on (2, 79, 100, 3) } },
        { { off (1, 79, 0, 3) }, Events { off (2, 79, 0, 3) } },
        { { on (1, 74, 80, 3), off (1, 72, 0, 4) }, Events { off (2, 60), on (2, 72, 80), on (2, 74, 80, 3), off (2, 72, 0, 4) } },
        // After a state load the next update sends its voicing whole.
        { { on (1, 79, 100, 3) }, notes (2, { 64, 67, 72 }, 0, true) + notes (2, { 64, 67, 72 }, 80) + Events { on (2, 79, 100, 3) },
          [] (auto& p) { const auto c = settingsChunk ({ { Settings::holdVoices, 1 } }); p.setStateInformation (c.data(), (int) c.size()); } } } },

    Script { "LearningBelowTwelveIsRefusedAndEnds", {
        { { on (1, 11, 90) }, Events {}, [] (auto& p) { p.learnSplitPoint = true; } },
        { { on (1, 11, 90, 2), on (1, 47, 90, 3) }, Events { on (1, 11, 90, 2), on (1, 47, 90, 3) } } } }
), [] (const auto& test) { return std::string (test.param.name); });
// clang-format on

//==============================================================================
TEST (WorkedExamples, BlockByteForByte)
{
    myAudioProcessor p;
    for (auto& block : workedBlocks())
        EXPECT_EQ (runBlock (p, block.played), block.answered);
}

// The voicing rule on its own: the worked examples, the keyboard's edges.
TEST (Voicing, EveryTypeGivesTheseVoices)
{
    struct Row
    {
        Harmony::Type type;
        std::vector<int> chord, melody, voices; // melody lowest first
    };
    using T = Harmony::Type;
    constexpr auto close = T::close;
    const std::vector<int> ceg { 36, 40, 43 }, cAndG { 36, 43 };
    const Row rows[] = {
        // Each type under C E G, melody 76 (a chord tone) and 81 (none), then C and G alone, then two melody keys.
        { close, ceg, { 76 }, { 64, 67, 72 } },
        { close, ceg, { 81 }, { 72, 76, 79 } },
        { T::duet, ceg, { 76 }, { 72 } },
        { T::duet, ceg, { 81 }, { 79 } },
        { T::trio, ceg, { 76 }, { 67, 72 } },
        { T::trio, ceg, { 81 }, { 76, 79 } },
        { T::open, ceg, { 76 }, { 60, 64, 67 } },
        { T::open, ceg, { 81 }, { 67, 72, 76 } },
        { T::block, ceg, { 76 }, { 64, 67, 72 } },
        { T::block, ceg, { 81 }, { 69, 72, 76, 79 } },
        { T::duetAbove, ceg, { 76 }, { 79 } },
        { T::duetAbove, ceg, { 81 }, { 84 } },
        { T::octave, ceg, { 76 }, { 64 } },
        { T::octave, ceg, { 81 }, { 69 } },
        { T::open, cAndG, { 76 }, { 60, 67 } },
        { T::block, cAndG, { 76 }, { 64, 67, 72 } },
        { T::duetAbove, ceg, { 72, 76 }, { 79 } },
        { T::duet, ceg, { 72, 76 }, { 67 } },
        // A chord tone exactly two below; the keyboard's ends; four chord notes; no chord.
        { T::duet, ceg, { 74 }, { 72 } },
        { T::trio, ceg, { 2 }, { 0 } },
        { T::open, ceg, { 14 }, { 0, 4, 7 } },
        { T::octave, ceg, { 11 }, {} },
        { T::duetAbove, ceg, { 125 }, { 127 } },
        { T::duetAbove, ceg, { 126 }, {} },
        { T::block, { 36, 40, 43, 46 }, { 79 }, { 67, 70, 72, 76 } },
        { T::open, { 36, 40, 43, 46 }, { 79 }, { 64, 70, 72 } },
        { T::octave, {}, { 60 }, { 48 } },
        { T::duet, { 36 }, { 60 }, {} },

        { close, { 36, 40, 43 }, { 72 }, { 60, 64, 67 } },
        { close, { 36, 40, 43 }, { 74 }, { 64, 67, 72 } },
        { close, { 36, 40, 43 }, { 61 }, { 48, 52, 55 } },
        { close, { 36, 40, 43 }, { 72, 79 }, { 60, 64, 67 } },
        { close, { 36, 40, 43, 46 }, { 60, 64 }, { 48, 52, 55, 58 } },
        { close, { 24, 36, 43 }, { 72 }, { 60, 60, 67 } },
        { close, { 43, 36, 40, 36 }, { 73 }, { 60, 60, 64, 67 } },
        { close, { 36 }, { 72 }, {} },
        { close, { 36, 40 }, {}, {} },
        { close, { 36, 40 }, { 127 }, { 120, 124 } },
        { close, { 36, 40 }, { 0 }, {} },
        { close, { 36, 40, 43 }, { 6 }, { 0, 4 } },
    };

    for (auto& row : rows)
    {
        SCOPED_TRACE ("row " + std::to_string (&row - rows + 1));
        Harmony::NoteList chord, voices;
        Harmony::MelodyKeys melody;
        for (auto c : row.chord)
            chord.add (c);
        for (auto k : row.melody)
            melody.add ({ k, (uint8_t) (k / 2) });
        voices.add (99); // whatever the list held before

        const auto velocity = Harmony::voice (row.type, chord, melody, Settings::defaults(), voices);
        EXPECT_EQ (std::vector<int> (voices.begin(), voices.end()), row.voices);
        const bool sounds = ! row.melody.empty() && (row.chord.size() >= 2 || row.type == T::octave);
        EXPECT_EQ (velocity, ! sounds ? 0 : (row.type == T::duetAbove ? row.melody.back() : row.melody.front()) / 2);
    }
}

// A setting changed while a block runs (here by a keyboard listener, which
// the block calls as it goes) holds from the next block on, never half-way.
TEST (Settings, AChangeDuringABlockHoldsFromTheNextBlock)
{
    struct Mover : juce::MidiKeyboardState::Listener
    {
        explicit Mover (myAudioProcessor& q) : p (q) {}
        void handleNoteOn (juce::MidiKeyboardState*, int, int, float) override { p.set (Settings::splitPoint, 30), p.set (Settings::chanOutSolo, 9); }
        void handleNoteOff (juce::MidiKeyboardState*, int, int, float) override {}
        myAudioProcessor& p;
    };

    myAudioProcessor p;
    p.set (Settings::harmonyEnabled, 0);
    Mover mover (p);
    p.keyboardState.addListener (&mover);
    EXPECT_EQ (runBlock (p, { on (1, 40, 100), on (1, 45, 100, 1) }), (Events { on (1, 40, 100), on (1, 45, 100, 1) }));
    p.keyboardState.removeListener (&mover);
    EXPECT_EQ (runBlock (p, { on (1, 46, 90) }), (Events { on (9, 46, 90) }));
}

TEST (Audio, InputChannelsUntouchedSurplusOutputsCleared)
{
    myAudioProcessor p;
    p.setPlayConfigDetails (1, 2, 44100.0, 64);

    juce::AudioBuffer<float> audio (2, 64);
    for (int i = 0; i < 64; ++i)
        audio.setSample (0, i, 0.01f * (float) (i + 1)), audio.setSample (1, i, 1.0f);

    juce::MidiBuffer midi;
    p.processBlock (audio, midi);

    for (int i = 0; i < 64; ++i)
        ASSERT_TRUE (audio.getSample (0, i) == 0.01f * (float) (i + 1) && audio.getSample (1, i) == 0.0f) << i;
}
} // namespace
