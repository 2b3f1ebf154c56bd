// Harmony voicing: the worked examples, the block worked through end to end,
// and the cases where the voicing rules meet the edges of the keyboard.

#include "EngineHarness.h"

namespace
{
struct VoicingExample
{
    std::vector<int> chord;
    std::vector<int> soloKeys; // lowest first
    int maxSoloVoices;
    std::vector<int> voices;   // harmonyNotes after the last update
    std::vector<int> turnedOn; // voice-ons of the last update
};

void PrintTo (const VoicingExample& ex, std::ostream* os)
{
    *os << "chord " << ::testing::PrintToString (ex.chord) << ", solo " << ::testing::PrintToString (ex.soloKeys)
        << ", max " << ex.maxSoloVoices;
}

class WorkedExamples : public ::testing::TestWithParam<VoicingExample> {};

TEST_P (WorkedExamples, VoicesAndCap)
{
    const auto& ex = GetParam();
    myAudioProcessor p;
    p.maxSoloVoices = ex.maxSoloVoices;

    Events chord;
    for (auto c : ex.chord)
        chord.push_back (on (1, c, 100));
    runBlock (p, chord);

    Events last;
    for (auto k : ex.soloKeys)
        last = runBlock (p, { on (1, k, 90, 5) });

    EXPECT_EQ (harmonyNotesOf (p), ex.voices);

    std::vector<int> turnedOn;
    for (auto& e : last)
        if (e.position == 0 && e.bytes[0] == 0x91 && e.bytes[2] > 0)
            turnedOn.push_back (e.bytes[1]);

    EXPECT_EQ (turnedOn, ex.turnedOn);
}

INSTANTIATE_TEST_SUITE_P (Table, WorkedExamples,
                          ::testing::Values (VoicingExample { { 36, 40, 43 }, { 72 }, 10, { 60, 64, 67 }, { 60, 64, 67 } },
                                             VoicingExample { { 36, 40, 43 }, { 74 }, 10, { 64, 67, 72 }, { 64, 67, 72 } },
                                             VoicingExample { { 36, 40, 43 }, { 61 }, 10, { 48, 52, 55 }, { 48, 52, 55 } },
                                             VoicingExample { { 36, 40, 43 }, { 72, 79 }, 3, { 60, 64, 67 }, { 67 } },
                                             VoicingExample { { 36, 40, 43, 46 }, { 60, 64 }, 4, { 48, 52, 55, 58 }, { 55, 58 } },
                                             VoicingExample { { 24, 36, 43 }, { 72 }, 10, { 60, 60, 67 }, { 60, 60, 67 } },
                                             VoicingExample { { 36 }, { 72 }, 10, {}, {} }),
                          [] (const auto& info) { return "Row" + std::to_string (info.index + 1); });

TEST (BlockWorkedThrough, TwoBlocksByteForByte)
{
    myAudioProcessor p;

    const auto first = runBlock (p, { on (1, 36, 100, 0), on (1, 40, 100, 0), on (1, 43, 100, 0), on (1, 72, 90, 100) });

    const Events expectedFirst { on (1, 36, 100, 0), on (1, 40, 100, 0), on (1, 43, 100, 0),
                                 on (2, 60, 90, 0),  on (2, 64, 90, 0),  on (2, 67, 90, 0),
                                 on (2, 72, 90, 100) };
    EXPECT_EQ (first, expectedFirst);

    const auto second = runBlock (p, { on (1, 74, 80, 20), off (1, 72, 64, 30) });

    const Events expectedSecond { off (2, 60, 0, 0), off (2, 64, 0, 0), off (2, 67, 0, 0),
                                  on (2, 60, 90, 0),  on (2, 64, 90, 0),  on (2, 67, 90, 0),
                                  off (2, 60, 0, 0), off (2, 64, 0, 0), off (2, 67, 0, 0),
                                  on (2, 64, 80, 0),  on (2, 67, 80, 0),  on (2, 72, 80, 0),
                                  on (2, 74, 80, 20),
                                  off (2, 72, 64, 30) };
    EXPECT_EQ (second, expectedSecond);
}

TEST (Voicing, UpdatesAndVelocity)
{
    myAudioProcessor p;
    runBlock (p, { on (1, 36, 100), on (1, 40, 100), on (1, 43, 100) });
    runBlock (p, { on (1, 72, 70) });

    // Melody 72 -> 73 while 72 is still held: same voices, struck again with 72's velocity.
    const auto out = runBlock (p, { on (1, 73, 120, 10) });
    const Events expected { off (2, 60, 0, 0), off (2, 64, 0, 0), off (2, 67, 0, 0),
                            on (2, 60, 70, 0), on (2, 64, 70, 0), on (2, 67, 70, 0),
                            on (2, 73, 120, 10) };
    EXPECT_EQ (out, expected);
}

TEST (Voicing, ChordChangeWhileSoloHeldRevoicesAtPositionZero)
{
    myAudioProcessor p;
    runBlock (p, { on (1, 36, 100), on (1, 40, 100) });
    runBlock (p, { on (1, 72, 90) });

    const auto out = runBlock (p, { on (1, 43, 100, 200) });
    const Events expected { off (2, 60, 0, 0), off (2, 64, 0, 0),
                            on (2, 60, 90, 0), on (2, 64, 90, 0), on (2, 67, 90, 0),
                            on (1, 43, 100, 200) };
    EXPECT_EQ (out, expected);
}

TEST (Voicing, NeverAtOrAboveReferenceMinusOne)
{
    myAudioProcessor p;
    runBlock (p, { on (1, 36, 100), on (1, 40, 100) });
    runBlock (p, { on (1, 74, 90) });
    EXPECT_EQ (harmonyNotesOf (p), (std::vector<int> { 64, 72 }));
}

TEST (Voicing, SameKeyTwiceIsEnoughAndSoundsTwice)
{
    myAudioProcessor p;
    runBlock (p, { on (1, 36, 100), on (3, 36, 100) });
    const auto out = runBlock (p, { on (1, 72, 90, 1) });
    EXPECT_EQ (out, (Events { on (2, 60, 90), on (2, 60, 90), on (2, 72, 90, 1) }));
}

TEST (Voicing, CappedVoicesAreListedButOnlySoundingOnesTurnedOff)
{
    myAudioProcessor p;
    p.maxSoloVoices = 1;
    runBlock (p, { on (1, 36, 100), on (1, 40, 100), on (1, 43, 100) });

    EXPECT_EQ (runBlock (p, { on (1, 72, 90) }), (Events { on (2, 72, 90) }));
    EXPECT_EQ (harmonyNotesOf (p), (std::vector<int> { 60, 64, 67 }));

    // None of them sounded: no note-off for a note that is not on.
    EXPECT_EQ (runBlock (p, { off (1, 72, 0, 1) }), (Events { off (2, 72, 0, 1) }));
}

TEST (Voicing, HarmonyOffOrTooFewChordNotesOnlyTurnsOff)
{
    myAudioProcessor p;
    runBlock (p, { on (1, 36, 100), on (1, 40, 100) });
    runBlock (p, { on (1, 72, 90) });

    runBlock (p, { cc (1, 32, 0) }); // harmony off: nothing changes at once
    EXPECT_EQ (p.harmonyEnabled.load(), 0);
    EXPECT_EQ (harmonyNotesOf (p), (std::vector<int> { 60, 64 }));

    EXPECT_EQ (runBlock (p, { on (1, 76, 90, 3) }), (Events { off (2, 60), off (2, 64), on (2, 76, 90, 3) }));
    EXPECT_TRUE (p.harmonyNotes.isEmpty());

    runBlock (p, { cc (1, 32, 127) });
    runBlock (p, { off (1, 40) }); // one chord note left
    EXPECT_TRUE (p.harmonyNotes.isEmpty());
}

TEST (Voicing, LowestHeldSoloKeySetsVelocity)
{
    myAudioProcessor p;
    runBlock (p, { on (1, 36, 100), on (1, 40, 100) });
    runBlock (p, { on (1, 72, 50) });
    const auto out = runBlock (p, { on (1, 84, 127, 2) });
    EXPECT_EQ (out, (Events { off (2, 60), off (2, 64), on (2, 60, 50), on (2, 64, 50), on (2, 84, 127, 2) }));
}

//==============================================================================
// Where the voicing rules meet the edges of the keyboard.

TEST (VoicingEdges, ReleasingTheLastSoloKeySendsOnlyVoiceOffs)
{
    myAudioProcessor p;
    runBlock (p, { on (1, 36, 100), on (1, 40, 100), on (1, 43, 100) });
    runBlock (p, { on (1, 72, 90) });

    const auto out = runBlock (p, { off (1, 72, 0, 7) });
    EXPECT_EQ (out, (Events { off (2, 60), off (2, 64), off (2, 67), off (2, 72, 0, 7) }));
    EXPECT_TRUE (p.harmonyNotes.isEmpty());
}

TEST (VoicingEdges, KeysZeroAnd127CountAsReference)
{
    myAudioProcessor p;
    // With split point 0 there is no chord area: fill the chord first.
    p.splitPoint = 60;
    runBlock (p, { on (1, 36, 100), on (1, 40, 100) });
    p.splitPoint = 0;

    runBlock (p, { on (1, 127, 90) });
    EXPECT_EQ (harmonyNotesOf (p), (std::vector<int> { 120, 124 }));

    // Key 0 is now the lowest held solo key: every voice would lie below note 0.
    const auto out = runBlock (p, { on (1, 0, 90, 1) });
    EXPECT_EQ (out, (Events { off (2, 120), off (2, 124), on (2, 0, 90, 1) }));
    EXPECT_TRUE (p.harmonyNotes.isEmpty());
}

TEST (VoicingEdges, VoicesBelowNoteZeroAreDropped)
{
    myAudioProcessor p;
    p.splitPoint = 60;
    runBlock (p, { on (1, 36, 100), on (1, 40, 100), on (1, 43, 100) }); // C, E, G
    p.splitPoint = 5;

    // Reference 9: r 7, voices C 0, E 4, G 7; all three in range.
    runBlock (p, { on (1, 9, 90) });
    EXPECT_EQ (harmonyNotesOf (p), (std::vector<int> { 0, 4, 7 }));

    // Reference 6: r 4, C 0 and E 4 fit, G would be -5.
    const auto out = runBlock (p, { on (1, 6, 80, 1) });
    EXPECT_EQ (out, (Events { off (2, 0), off (2, 4), off (2, 7), on (2, 0, 80), on (2, 4, 80), on (2, 6, 80, 1) }));
    EXPECT_EQ (harmonyNotesOf (p), (std::vector<int> { 0, 4 }));
}
} // namespace
