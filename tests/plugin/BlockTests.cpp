// Blocks through the binary interface: events in with effProcessEvents, audio
// through processReplacing, the answer back in one audioMasterProcessEvents call.

#include "NoteLedger.h"
#include "PluginFixture.h"

#include <cmath>

namespace
{
float testSignal (int channel, int sample)
{
    return std::sin (0.01f * (float) sample) * (channel == 0 ? 0.5f : -0.25f);
}

TEST (Blocks, WorkedBlockEndToEnd)
{
    ActivePlugin p;
    ASSERT_TRUE (p.plugin.isLoaded());

    for (auto& block : workedBlocks())
    {
        vsthost::EventBlock events;
        for (auto& e : block.played)
            events.midi (e.position, e.status, e.data1, e.data2);

        EXPECT_EQ (shortEvents (p.run (&events)), block.answered);
        EXPECT_EQ (p.plugin.getNumProcessEventsCalls(), 1);
    }
}

TEST (Blocks, EventIntake)
{
    ActivePlugin p;

    vsthost::EventBlock events;
    events.midi (17, 0x90, 0x3c, 0x64, 0x00)
        .nullEntry()
        .midi (18, 0xc5, 0x07, 0x00, 0x00) // program change: two bytes
        .midi (19, 0x3c, 0x40, 0x00); // running status: dropped

    const auto& out = p.run (&events);
    ASSERT_EQ (out.size(), 2u);
    EXPECT_EQ (out[0].deltaFrames, 17);
    EXPECT_EQ (out[0].midi, (std::array<uint8_t, 4> { 0x91, 0x3c, 0x64, 0 }));
    EXPECT_EQ (out[1].deltaFrames, 18);
    EXPECT_EQ (out[1].midi, (std::array<uint8_t, 4> { 0xc5, 0x07, 0, 0 }));

    vsthost::EventBlock empty;
    EXPECT_EQ (p.plugin.sendEvents (empty), 1);
    EXPECT_TRUE (p.run().empty());
    EXPECT_EQ (p.plugin.getNumProcessEventsCalls(), 0);
}

TEST (Blocks, SystemExclusiveComesBackAsOneRecord)
{
    ActivePlugin p;
    const std::vector<uint8_t> message { 0xf0, 0x7e, 0x7f, 0x06, 0x01, 0x10, 0x20, 0x30, 0x40, 0xf7 };

    vsthost::EventBlock events;
    events.sysex (5, message);
    const auto out = p.run (&events);

    ASSERT_EQ (out.size(), 1u);
    EXPECT_EQ (out[0].type, kVstSysExType);
    EXPECT_EQ (out[0].byteSize, 48);
    EXPECT_EQ (out[0].flags, 0);
    EXPECT_EQ (out[0].deltaFrames, 5);
    EXPECT_EQ (out[0].sysex, message);

    // The same record serves a short message in the next block, and sysex again after.
    vsthost::EventBlock note;
    note.midi (1, 0x90, 72, 90);
    EXPECT_EQ (shortEvents (p.run (&note)), (std::vector<Short> { { 1, 0x91, 72, 90 } }));
    EXPECT_EQ (p.run (&events)[0].sysex, message);
}

TEST (Blocks, ManyEventsInOneCall)
{
    ActivePlugin p;

    vsthost::EventBlock events;
    for (int i = 0; i < 600; ++i)
        events.midi (i % 512, 0xb3, 7, (uint8_t) (i & 0x7f));

    const auto& out = p.run (&events);
    EXPECT_EQ (out.size(), 600u);
    EXPECT_EQ (p.plugin.getNumProcessEventsCalls(), 1);

    for (size_t i = 1; i < out.size(); ++i)
        ASSERT_LE (out[i - 1].deltaFrames, out[i].deltaFrames);

    vsthost::EventBlock more;
    for (int i = 0; i < 1500; ++i)
        more.midi (i % 512, 0xe0, 0, (uint8_t) (i & 0x7f));
    EXPECT_EQ (p.run (&more).size(), 1500u);
}

TEST (Blocks, AudioPassesThroughUntouched)
{
    ActivePlugin p;
    p.audio.fill (testSignal);

    vsthost::EventBlock events;
    events.midi (0, 0x90, 36, 100).midi (0, 0x90, 40, 100).midi (3, 0x90, 72, 90);
    p.run (&events);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < p.numSamples; ++i)
            ASSERT_EQ (p.audio.outputs[(size_t) c][(size_t) i], testSignal (c, i));

    // In place, as many hosts process.
    float* inPlace[] = { p.audio.inputPointers[0], p.audio.inputPointers[1] };
    p.plugin.processReplacing (inPlace, inPlace, p.numSamples);
    EXPECT_EQ (p.audio.inputs[1][100], testSignal (1, 100));
}

TEST (Blocks, BypassPassesEventsAndAudioUnchanged)
{
    ActivePlugin p;
    p.audio.fill (testSignal);
    EXPECT_EQ (p.plugin.dispatch (effSetBypass, 0, 1), 1);

    vsthost::EventBlock events;
    events.midi (0, 0x90, 36, 100).midi (7, 0x90, 72, 90).midi (9, 0xb0, 123, 0);
    EXPECT_EQ (shortEvents (p.run (&events)),
               (std::vector<Short> { { 0, 0x90, 36, 100 }, { 7, 0x90, 72, 90 }, { 9, 0xb0, 123, 0 } }));
    EXPECT_EQ (p.audio.outputs[0][200], testSignal (0, 200));

    // Nothing was booked while bypassed: back on, the melody has no chord.
    p.plugin.dispatch (effSetBypass, 0, 0);
    vsthost::EventBlock melody;
    melody.midi (0, 0x90, 74, 90);
    EXPECT_EQ (shortEvents (p.run (&melody)), (std::vector<Short> { { 0, 0x91, 74, 90 } }));
}

TEST (Blocks, SameBufferForTwoOutputs)
{
    ActivePlugin p;
    p.audio.fill (testSignal);
    float* shared[] = { p.audio.outputPointers[0], p.audio.outputPointers[0] };

    p.plugin.processReplacing (p.audio.inputPointers.data(), shared, p.numSamples);

    // Output 1 was written last: it carries channel 1's result.
    EXPECT_EQ (p.audio.outputs[0][10], testSignal (1, 10));
}

TEST (Blocks, FirstBlockWithoutSwitchingOnKeepsItsEvents)
{
    ActivePlugin p (512, {}, false);

    vsthost::EventBlock events;
    events.midi (4, 0x90, 72, 90);
    EXPECT_EQ (shortEvents (p.run (&events)), (std::vector<Short> { { 4, 0x91, 72, 90 } }));
    EXPECT_EQ (p.plugin.countCalls (audioMasterWantMidi), 1);
}

TEST (Blocks, EventsBeforeSwitchingOnAreDropped)
{
    ActivePlugin p (512, {}, false);

    vsthost::EventBlock early;
    early.midi (0, 0x90, 60, 90);
    p.plugin.sendEvents (early);
    p.plugin.dispatch (effMainsChanged, 0, 1);

    EXPECT_TRUE (p.run().empty());
}

TEST (Blocks, NoCallForABlockWithoutOutput)
{
    ActivePlugin p;
    p.run();
    p.run();
    EXPECT_EQ (p.plugin.getNumProcessEventsCalls(), 0);
    EXPECT_EQ (p.plugin.countCalls (audioMasterProcessEvents), 0);
}

//==============================================================================
// Hosts as they really are.

TEST (RealHosts, SettersBeforeOpenAndBlocksBeforeSwitchingOn)
{
    vsthost::Plugin plugin (pluginLibrary());
    plugin.dispatch (effSetSampleRate, 0, 0, nullptr, 48000.0f);
    plugin.dispatch (effSetBlockSize, 0, 256);
    plugin.dispatch (effOpen);

    vsthost::AudioBlock audio (2, 256);
    vsthost::EventBlock events;
    events.midi (255, 0x90, 50, 60);
    plugin.sendEvents (events);
    plugin.processReplacing (audio.inputPointers.data(), audio.outputPointers.data(), 256);
    ASSERT_EQ (plugin.getReceivedEvents().size(), 1u);
    EXPECT_EQ (plugin.getReceivedEvents()[0].deltaFrames, 255);
}

TEST (RealHosts, SuspendResumeTogglesBetweenBlocks)
{
    ActivePlugin p;
    vsthost::EventBlock chord;
    chord.midi (0, 0x90, 36, 100).midi (0, 0x90, 40, 100);
    p.run (&chord);

    for (int i = 0; i < 100; ++i)
    {
        p.plugin.dispatch (effMainsChanged, 0, 0);
        p.plugin.dispatch (effMainsChanged, 0, 1);
        p.run();
    }

    // The held chord survives: a melody note still gets its voices.
    vsthost::EventBlock melody;
    melody.midi (2, 0x90, 72, 90);
    EXPECT_EQ (shortEvents (p.run (&melody)),
               (std::vector<Short> { { 0, 0x91, 60, 90 }, { 0, 0x91, 64, 90 }, { 2, 0x91, 72, 90 } }));
}

TEST (RealHosts, BlockAfterSuspendSwitchesOnAgain)
{
    ActivePlugin p;
    p.plugin.dispatch (effMainsChanged, 0, 0);

    vsthost::EventBlock events;
    events.midi (1, 0x90, 72, 90);
    EXPECT_EQ (shortEvents (p.run (&events)), (std::vector<Short> { { 1, 0x91, 72, 90 } }));
}

TEST (RealHosts, PositionsAtAndBeyondTheBlockEnd)
{
    ActivePlugin p (64);

    vsthost::EventBlock events;
    events.midi (63, 0x90, 72, 90).midi (64, 0x80, 72, 0).midi (1000, 0xb0, 7, 1).midi (2000000000, 0xb0, 7, 2).midi (-5, 0xb0, 7, 3);

    // A negative position is the block start; one at or past the end is the
    // block's last frame, as hosts require, in the order the events came.
    EXPECT_EQ (shortEvents (p.run (&events)), (std::vector<Short> { { 0, 0xb0, 7, 3 }, { 63, 0x91, 72, 90 }, { 63, 0x81, 72, 0 }, { 63, 0xb0, 7, 1 }, { 63, 0xb0, 7, 2 } }));
}

TEST (RealHosts, BlockLongerThanAnnounced)
{
    ActivePlugin p (64);
    vsthost::AudioBlock big (2, 1000);
    big.fill (testSignal);
    float* shared[] = { big.outputPointers[0], big.outputPointers[0] };

    p.plugin.processReplacing (big.inputPointers.data(), shared, 1000);
    EXPECT_EQ (big.outputs[0][999], testSignal (1, 999));

    p.plugin.processReplacing (big.inputPointers.data(), big.outputPointers.data(), 1000);
    EXPECT_EQ (big.outputs[1][999], testSignal (1, 999));
}

TEST (RealHosts, SharedOutputsInAnEmptyBlockAfterBlockSizeZero)
{
    ActivePlugin p (64);
    p.plugin.dispatch (effSetBlockSize, 0, 0);
    p.plugin.dispatch (effMainsChanged, 0, 0);
    p.plugin.dispatch (effMainsChanged, 0, 1);

    float* shared[] = { p.audio.outputPointers[0], p.audio.outputPointers[0] };
    vsthost::EventBlock note;
    note.midi (0, 0x90, 72, 90);
    p.plugin.sendEvents (note);
    p.plugin.processReplacing (p.audio.inputPointers.data(), shared, 0);
    EXPECT_EQ (p.plugin.getReceivedEvents().size(), 1u);

    p.audio.fill (testSignal);
    p.plugin.processReplacing (p.audio.inputPointers.data(), shared, 64);
    EXPECT_EQ (p.audio.outputs[0][63], testSignal (1, 63));
}

TEST (RealHosts, MalformedEventsAreIgnored)
{
    ActivePlugin p;

    EXPECT_EQ (p.plugin.dispatch (effProcessEvents, 0, 0, nullptr), 1);

    std::vector<unsigned char> raw (offsetof (VstEvents, events) + 2 * sizeof (VstEvent*), 0);
    auto* negative = reinterpret_cast<VstEvents*> (raw.data());
    negative->numEvents = -7;
    EXPECT_EQ (p.plugin.dispatch (effProcessEvents, 0, 0, negative), 1);

    vsthost::EventBlock sysex;
    sysex.sysex (0, {});
    VstEvents* events = sysex.get();
    reinterpret_cast<VstMidiSysexEvent*> (eventSlots (events)[0])->dumpBytes = -3;
    p.plugin.sendEvents (sysex);
    reinterpret_cast<VstMidiSysexEvent*> (eventSlots (events)[0])->sysexDump = nullptr;
    reinterpret_cast<VstMidiSysexEvent*> (eventSlots (events)[0])->dumpBytes = 10;
    p.plugin.dispatch (effProcessEvents, 0, 0, events);

    EXPECT_TRUE (p.run().empty());

    // A host that hands no audio buffers still gets its MIDI through.
    vsthost::EventBlock note;
    note.midi (0, 0x90, 72, 90);
    p.plugin.sendEvents (note);
    p.plugin.processReplacing (nullptr, nullptr, 512);
    EXPECT_EQ (p.plugin.getReceivedEvents().size(), 1u);
}
} // namespace

namespace
{
/** Every event's bytes, in order, positions left out. */
std::vector<std::array<uint8_t, 4>> eventBytes (const std::vector<vsthost::ReceivedEvent>& events)
{
    std::vector<std::array<uint8_t, 4>> bytes;
    for (auto& e : events)
        bytes.push_back (e.midi);
    return bytes;
}
} // namespace

TEST (DenseBlocks, FourThousandEventsInOneBlockComeOutAsInSixtyFourBlocks)
{
    // A chord held, a legato melody moving: the same events in one block of
    // 4096 or in 64 blocks of 64, all at the block start, give the same output.
    auto fill = [] (vsthost::EventBlock& block, int first, int count) {
        for (int i = first; i < first + count; ++i)
        {
            if (i < 3)
                block.midi (0, 0x90, (uint8_t) (36 + i * 4), 100);
            else
                block.midi (0, (uint8_t) (i % 2 == 0 ? 0x90 : 0x80), (uint8_t) (60 + (i / 2) % 24), 90);
        }
    };

    ActivePlugin whole, parts;
    vsthost::EventBlock all;
    fill (all, 0, 4096);
    const auto expected = eventBytes (whole.run (&all));

    std::vector<std::array<uint8_t, 4>> pieced;
    for (int b = 0; b < 64; ++b)
    {
        vsthost::EventBlock part;
        fill (part, b * 64, 64);
        for (auto& bytes : eventBytes (parts.run (&part)))
            pieced.push_back (bytes);
    }

    EXPECT_GT (expected.size(), 10000u);
    EXPECT_EQ (expected, pieced);
}

TEST (DenseBlocks, RepeatedStrikesOfOneKeyCountSixteenTimesAtMost)
{
    // Two sources merged on one track: the same chord key struck 1024 times
    // in a block, with a melody key held. Every strike passes on; only the
    // first 16 count for the harmony, so the block stays short.
    ActivePlugin p;
    vsthost::NoteLedger ledger;
    vsthost::EventBlock setUp, strikes, release;
    setUp.midi (0, 0x90, 40, 100).midi (0, 0x90, 72, 90);
    ledger.take (p.run (&setUp), 0);

    for (int i = 0; i < 1024; ++i)
        strikes.midi (0, 0x90, 36, 100);

    const auto& out = p.run (&strikes);
    ledger.take (out, 1);
    EXPECT_EQ (std::count_if (out.begin(), out.end(), [] (auto& e) { return e.midi[0] == 0x90 && e.midi[1] == 36; }), 1024);
    EXPECT_LT (out.size(), 1024u + 16u * 2u * 10u);

    for (int i = 0; i < 1024; ++i)
        release.midi (0, 0x80, 36, 0);
    release.midi (0, 0x80, 40, 0).midi (0, 0x80, 72, 0);
    ledger.take (p.run (&release), 2);
    EXPECT_TRUE (ledger.stillSounding().empty());
    EXPECT_TRUE (ledger.strays().empty());
}

TEST (DenseBlocks, OutputAliasingAnotherInputStillGetsItsOwnInput)
{
    ActivePlugin p (300);
    p.audio.fill (testSignal);
    float* inputs[] = { p.audio.inputPointers[0], p.audio.inputPointers[1] };
    float* outputs[] = { p.audio.inputPointers[1], p.audio.outputPointers[1] }; // output 0 is input 1's memory

    p.plugin.processReplacing (inputs, outputs, 300);

    for (int i = 0; i < 300; ++i)
    {
        ASSERT_EQ (outputs[0][i], testSignal (0, i)) << i;
        ASSERT_EQ (outputs[1][i], testSignal (1, i)) << i;
    }
}

TEST (DenseBlocks, SysexDumpTooLargeForABlockIsLeftOutWhole)
{
    ActivePlugin p;
    std::vector<uint8_t> huge (400 * 1024, 0x11), small { 0xf0, 0x7e, 0x01, 0x02, 0x03, 0xf7 };
    huge.front() = 0xf0;
    huge.back() = 0xf7;

    vsthost::EventBlock events;
    events.midi (0, 0x90, 72, 90).sysex (1, huge).sysex (2, small).midi (3, 0x80, 72, 0);
    const auto out = p.run (&events);

    ASSERT_EQ (out.size(), 3u);
    EXPECT_EQ (out[0].midi[1], 72);
    EXPECT_EQ (out[1].sysex, small);
    EXPECT_EQ (out[2].midi[0], 0x81);
}
