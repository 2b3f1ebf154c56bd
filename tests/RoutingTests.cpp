// Event routing through the block function: the split, re-channelling,
// controllers, split-point learning, and notes that must never be left hanging.

#include "EngineHarness.h"

namespace
{
void holdCMajorChord (myAudioProcessor& p)
{
    runBlock (p, { on (1, 36, 100), on (1, 40, 100), on (1, 43, 100) });
}

TEST (Processor, StartsWithDefaults)
{
    myAudioProcessor p;
    EXPECT_EQ (p.chordThru.load(), 1);
    EXPECT_EQ (p.chanOutChord.load(), 1);
    EXPECT_EQ (p.chanOutSolo.load(), 2);
    EXPECT_EQ (p.splitPoint.load(), 48);
    EXPECT_EQ (p.ccHarmonyCtl.load(), 32);
    EXPECT_EQ (p.harmonyEnabled.load(), 1);
    EXPECT_EQ (p.maxSoloVoices.load(), 10);
    EXPECT_FALSE (p.learnSplitPoint.load());
    EXPECT_EQ (p.countSoloNotes(), 0);
    EXPECT_EQ (p.soloNotes[60].getFirst().note, -1);
    EXPECT_EQ (p.soloNotes[60].getFirst().velocity, 0);
}

TEST (Split, SplitPointBelongsToSoloArea)
{
    myAudioProcessor p;
    runBlock (p, { on (1, 36, 100), on (1, 40, 100) });

    // 47 is a chord key: out on channel 1, and no update while no solo key is held.
    EXPECT_EQ (runBlock (p, { on (5, 47, 77, 9) }), (Events { on (1, 47, 77, 9) }));

    // 48 is the first solo key: out on channel 2, then voices from 36, 40, 47.
    EXPECT_EQ (runBlock (p, { on (5, 48, 66, 9) }),
               (Events { on (2, 35, 66), on (2, 36, 66), on (2, 40, 66), on (2, 48, 66, 9) }));
    EXPECT_EQ (heldSoloKeysOf (p), (std::vector<int> { 48 }));
}

TEST (Split, ChordPassThroughOffStillTracksAndRevoices)
{
    myAudioProcessor p;
    p.chordThru = 0;
    runBlock (p, { on (1, 72, 90) });

    EXPECT_EQ (runBlock (p, { on (1, 36, 100, 4) }), Events {});
    EXPECT_EQ (runBlock (p, { on (1, 40, 100, 4) }), (Events { on (2, 60, 90), on (2, 64, 90) }));
    EXPECT_EQ (chordNotesOf (p), (std::vector<int> { 36, 40 }));

    EXPECT_EQ (runBlock (p, { off (1, 36, 0, 4) }), (Events { off (2, 60), off (2, 64) }));
    EXPECT_EQ (chordNotesOf (p), (std::vector<int> { 40 }));
}

TEST (Split, NoteOffsKeepReleaseVelocityAndVelocityZeroNoteOnsStayNoteOns)
{
    myAudioProcessor p;
    runBlock (p, { on (3, 40, 100), on (3, 72, 100) });

    const auto out = runBlock (p, { off (3, 40, 55, 1), on (3, 72, 0, 2) });
    EXPECT_EQ (out, (Events { off (1, 40, 55, 1), on (2, 72, 0, 2) }));
    EXPECT_EQ (p.countSoloNotes(), 0);
    EXPECT_TRUE (p.chordNotes.isEmpty());
}

TEST (Split, RepeatedKeys)
{
    myAudioProcessor p;
    runBlock (p, { on (1, 40, 100), on (3, 40, 100), off (1, 40) });
    EXPECT_EQ (chordNotesOf (p), (std::vector<int> { 40 }));

    runBlock (p, { on (1, 60, 30), on (2, 60, 99) });
    EXPECT_EQ (p.soloNotes[60].size(), 2);
    EXPECT_EQ (p.countSoloNotes(), 1);
    EXPECT_EQ (p.soloNotes[60].getFirst().velocity, 30);

    runBlock (p, { off (1, 60) });
    EXPECT_EQ (p.countSoloNotes(), 0);
}

TEST (Controllers, HarmonyControllerSwitchesAndPassesOnAnyChannel)
{
    myAudioProcessor p;
    EXPECT_EQ (runBlock (p, { cc (7, 32, 63, 3) }), (Events { cc (7, 32, 63, 3) }));
    EXPECT_EQ (p.harmonyEnabled.load(), 0);
    EXPECT_EQ (runBlock (p, { cc (16, 32, 64, 3) }), (Events { cc (16, 32, 64, 3) }));
    EXPECT_EQ (p.harmonyEnabled.load(), 1);

    p.ccHarmonyCtl = 64;
    runBlock (p, { cc (1, 32, 0) });
    EXPECT_EQ (p.harmonyEnabled.load(), 1);
    runBlock (p, { cc (1, 64, 0) });
    EXPECT_EQ (p.harmonyEnabled.load(), 0);
}

TEST (Controllers, AllNotesOffTurnsOffVoicesAndForgetsEverything)
{
    myAudioProcessor p;
    holdCMajorChord (p);
    runBlock (p, { on (1, 72, 90) });

    const auto out = runBlock (p, { pb (3), cc (5, 123, 0, 40) });
    // The voices end first; then the panic reaches its own channel and every
    // channel with notes of ours sounding (chord 1, solo 2).
    EXPECT_EQ (out, (Events { pb (3), off (2, 60, 0, 40), off (2, 64, 0, 40), off (2, 67, 0, 40), cc (5, 123, 0, 40),
                              cc (1, 123, 0, 40), cc (2, 123, 0, 40) }));

    EXPECT_TRUE (p.chordNotes.isEmpty());
    EXPECT_TRUE (p.harmonyNotes.isEmpty());
    EXPECT_EQ (p.countSoloNotes(), 0);

    // The on-screen keyboard drops the voices but keeps the keys that are still down.
    EXPECT_FALSE (p.keyboardState.isNoteOn (2, 60));
    EXPECT_TRUE (p.keyboardState.isNoteOn (1, 72));
    EXPECT_TRUE (p.keyboardState.isNoteOn (1, 36));

    // The voices were forgotten: the next update sends no second voice-off.
    EXPECT_EQ (runBlock (p, { on (1, 74, 90, 1) }), (Events { on (2, 74, 90, 1) }));
}

TEST (Controllers, HarmonyControllerSetTo123OnlyEmptiesBookkeeping)
{
    myAudioProcessor p;
    p.ccHarmonyCtl = 123;
    runBlock (p, { on (1, 36, 100), on (1, 72, 90) });
    runBlock (p, { cc (1, 123, 0) });
    EXPECT_EQ (p.harmonyEnabled.load(), 1);
    EXPECT_TRUE (p.chordNotes.isEmpty());
    EXPECT_EQ (p.countSoloNotes(), 0);
}

TEST (Passing, OtherMessagesGoOutUnchanged)
{
    myAudioProcessor p;
    const Events in { { 1, { 0xe3, 0x00, 0x40 } },             // pitch bend
                      { 2, { 0xd4, 0x55 } },                   // channel pressure
                      { 3, { 0xa5, 0x3c, 0x20 } },             // polyphonic aftertouch
                      { 4, { 0xc6, 0x07 } },                   // program change
                      { 5, { 0xf0, 0x7e, 0x01, 0x02, 0xf7 } }, // system exclusive
                      { 6, { 0xb2, 0x07, 0x64 } } };           // another controller
    EXPECT_EQ (runBlock (p, in), in);
    EXPECT_EQ (runBlock (p, {}), Events {});
}

TEST (Passing, MalformedNoteNumbersPassUnchanged)
{
    myAudioProcessor p;
    const Events in { { 0, { 0x90, 0x80, 0x40 } }, { 1, { 0x85, 0xff, 0x00 } } };
    EXPECT_EQ (runBlock (p, in), in);
    EXPECT_EQ (p.countSoloNotes(), 0);
    EXPECT_TRUE (p.chordNotes.isEmpty());
}

TEST (Passing, AudioOfInputChannelsUntouchedSurplusOutputsCleared)
{
    myAudioProcessor p;
    p.setPlayConfigDetails (1, 2, 44100.0, 64);

    juce::AudioBuffer<float> audio (2, 64);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 64; ++i)
            audio.setSample (ch, i, (float) (i + 1) * (ch ? -0.01f : 0.01f));

    juce::MidiBuffer midi;
    p.processBlock (audio, midi);

    for (int i = 0; i < 64; ++i)
    {
        EXPECT_EQ (audio.getSample (0, i), (float) (i + 1) * 0.01f);
        EXPECT_EQ (audio.getSample (1, i), 0.0f);
    }
}

TEST (Channels, OutOfRangeChannelSettingsAreLimitedButKept)
{
    myAudioProcessor p;
    p.chanOutChord = 0;
    p.chanOutSolo = 40;
    runBlock (p, { on (1, 36, 100), on (1, 40, 100) });
    const auto out = runBlock (p, { on (1, 72, 90, 1) });
    EXPECT_EQ (out, (Events { on (16, 60, 90), on (16, 64, 90), on (16, 72, 90, 1) }));
    EXPECT_EQ (runBlock (p, { on (1, 38, 90) }).front(), on (1, 38, 90));
    EXPECT_EQ (p.chanOutChord.load(), 0);
    EXPECT_EQ (p.chanOutSolo.load(), 40);
}

//==============================================================================
// Settings that change while keys are held: the note-off goes where its note-on went.

TEST (HeldWhileSettingsChange, NoteOffFollowsItsNoteOnChannel)
{
    myAudioProcessor p;
    runBlock (p, { on (1, 40, 100), on (1, 72, 90) });
    p.chanOutChord = 5;
    p.chanOutSolo = 6;

    EXPECT_EQ (runBlock (p, { off (1, 40, 0, 1), off (1, 72, 0, 2) }),
               (Events { off (1, 40, 0, 1), off (2, 72, 0, 2) }));

    // Released keys are routed by the new settings again.
    EXPECT_EQ (runBlock (p, { on (1, 40, 100) }), (Events { on (5, 40, 100) }));
}

TEST (HeldWhileSettingsChange, ReleasedChordKeyLeavesNoPhantomAfterSplitMoves)
{
    myAudioProcessor p;
    runBlock (p, { on (1, 36, 100), on (1, 40, 100), on (1, 43, 100) });
    p.splitPoint = 38; // 40 and 43 would now be solo keys

    runBlock (p, { off (1, 40), off (1, 43) });
    EXPECT_EQ (chordNotesOf (p), (std::vector<int> { 36 }));
    EXPECT_EQ (p.countSoloNotes(), 0);
}

TEST (HeldWhileSettingsChange, VoiceOffsGoWhereTheVoicesWent)
{
    myAudioProcessor p;
    runBlock (p, { on (1, 36, 100), on (1, 40, 100) });
    runBlock (p, { on (1, 72, 90) });
    p.chanOutSolo = 9;

    const auto out = runBlock (p, { on (1, 74, 80, 1) });
    EXPECT_EQ (out, (Events { off (2, 60), off (2, 64), on (9, 60, 90), on (9, 64, 90), on (9, 74, 80, 1) }));
}

TEST (HeldWhileSettingsChange, ChordThroughSwitchedOffStillEndsPassedNotes)
{
    myAudioProcessor p;
    runBlock (p, { on (1, 40, 100) });
    p.chordThru = 0;
    EXPECT_EQ (runBlock (p, { off (1, 40) }), (Events { off (1, 40) }));
    EXPECT_EQ (runBlock (p, { on (1, 40, 100) }), Events {});
}

//==============================================================================

TEST (Learning, NoteOnSetsSplitPointAndIsSwallowed)
{
    myAudioProcessor p;
    holdCMajorChord (p);
    p.learnSplitPoint = true;

    EXPECT_EQ (runBlock (p, { on (1, 60, 90) }), Events {});
    EXPECT_EQ (p.splitPoint.load(), 60);
    EXPECT_FALSE (p.learnSplitPoint.load());
    EXPECT_TRUE (p.keyboardState.isNoteOn (1, 60));
    EXPECT_EQ (p.countSoloNotes(), 0);

    // Its note-off ends nothing that sounded, so it is not passed on either.
    EXPECT_EQ (runBlock (p, { off (1, 60, 0, 3) }), Events {});

    // Learning is over: the next note plays.
    EXPECT_EQ (runBlock (p, { on (1, 72, 90, 1) }).back(), on (2, 72, 90, 1));
}

TEST (Learning, ReleaseOfAHeldKeySetsSplitPointAndStillEndsTheNote)
{
    myAudioProcessor p;
    runBlock (p, { on (1, 52, 90) });
    p.learnSplitPoint = true;

    EXPECT_EQ (runBlock (p, { off (1, 52, 0, 3) }), (Events { off (2, 52, 0, 3) }));
    EXPECT_EQ (p.splitPoint.load(), 52);
    EXPECT_FALSE (p.learnSplitPoint.load());
    EXPECT_EQ (p.countSoloNotes(), 0);
}

TEST (Learning, NoteBelowTwelveIsRefused)
{
    myAudioProcessor p;
    p.learnSplitPoint = true;

    EXPECT_EQ (runBlock (p, { on (1, 11, 90) }), Events {});
    EXPECT_EQ (p.splitPoint.load(), 48);
    EXPECT_FALSE (p.learnSplitPoint.load());

    EXPECT_EQ (runBlock (p, { on (1, 11, 90, 2) }), (Events { on (1, 11, 90, 2) }));
}

TEST (Learning, OtherEventsPassWhileLearning)
{
    myAudioProcessor p;
    p.learnSplitPoint = true;
    EXPECT_EQ (runBlock (p, { cc (1, 7, 100), pb (1) }), (Events { cc (1, 7, 100), pb (1) }));
    EXPECT_TRUE (p.learnSplitPoint.load());
}
} // namespace
