// Blocks through the binary interface: events in with effProcessEvents, audio
// through processReplacing, the answer back in one audioMasterProcessEvents
// call; and what real hosts do around them.

#include "NoteLedger.h"
#include "PluginFixture.h"

#include <cmath>
#include <functional>

namespace
{
float testSignal (int channel, int sample)
{
    return std::sin (0.01f * (float) sample) * (channel == 0 ? 0.5f : -0.25f);
}

const Events melody { on (1, 72, 90, 4) }, harmonised { on (2, 72, 90, 4) };

TEST (Blocks, WorkedBlockEndToEnd)
{
    ActivePlugin p;
    ASSERT_TRUE (p.plugin.isLoaded());

    for (auto& block : workedBlocks())
    {
        EXPECT_EQ (p.play (block.played), block.answered);
        EXPECT_EQ (p.plugin.getNumProcessEventsCalls(), 1);
    }

    p.run();
    EXPECT_EQ (p.plugin.getNumProcessEventsCalls(), 0); // none for a block without output
}

TEST (Blocks, HarmonyTypeTakenFromTheState)
{
    ActivePlugin p;
    expectHarmonyTypeTakenFromTheState (p);
}

TEST (Blocks, EventIntakeAndPositions)
{
    ActivePlugin p (64);
    vsthost::EventBlock events;
    events.midi (17, 0x90, 0x3c, 0x64, 0x00)
        .nullEntry()
        .midi (18, 0xc5, 0x07, 0x00, 0x00) // program change: two bytes
        .midi (19, 0x3c, 0x40, 0x00) // running status: dropped
        .midi (63, 0x90, 72, 90)
        .midi (64, 0x80, 72, 0)
        .midi (1000, 0xb0, 7, 1)
        .midi (2000000000, 0xb0, 7, 2)
        .midi (-5, 0xb0, 7, 3);

    // A negative position is the block start; one at or past the end is the
    // block's last frame, as hosts require, in the order the events came.
    EXPECT_EQ (received (p.run (&events)), (Events { cc (1, 7, 3), on (2, 60, 100, 17), { 18, { 0xc5, 7 } }, on (2, 72, 90, 63), off (2, 72, 0, 63), cc (1, 7, 1, 63), cc (1, 7, 2, 63) }));

    vsthost::EventBlock empty;
    EXPECT_EQ (p.plugin.sendEvents (empty), 1);
    EXPECT_EQ (p.plugin.dispatch (effProcessEvents, 0, 0, nullptr), 1);
    std::vector<unsigned char> raw (offsetof (VstEvents, events) + 2 * sizeof (VstEvent*), 0);
    reinterpret_cast<VstEvents*> (raw.data())->numEvents = -7;
    EXPECT_EQ (p.plugin.dispatch (effProcessEvents, 0, 0, raw.data()), 1);

    // Dumps of a negative size or without bytes are passed over.
    vsthost::EventBlock sysex;
    sysex.sysex (0, {});
    auto* dump = reinterpret_cast<VstMidiSysexEvent*> (eventSlots (sysex.get())[0]);
    dump->dumpBytes = -3;
    p.plugin.dispatch (effProcessEvents, 0, 0, sysex.get());
    dump->sysexDump = nullptr;
    dump->dumpBytes = 10;
    p.plugin.dispatch (effProcessEvents, 0, 0, sysex.get());
    EXPECT_TRUE (p.run().empty());

    // A host that hands no audio buffers still gets its MIDI through.
    auto note = eventsOf (melody);
    p.plugin.sendEvents (note);
    p.plugin.processReplacing (nullptr, nullptr, 64);
    EXPECT_EQ (received (p.plugin.getReceivedEvents()), harmonised);
}

TEST (Blocks, SystemExclusiveComesBackAsOneRecordOrIsLeftOutWhole)
{
    ActivePlugin p;
    const std::vector<uint8_t> message { 0xf0, 0x7e, 0x7f, 0x06, 0x01, 0x10, 0x20, 0x30, 0x40, 0xf7 };
    std::vector<uint8_t> huge (400 * 1024, 0x11);
    huge.front() = 0xf0;
    huge.back() = 0xf7;

    vsthost::EventBlock events;
    events.midi (0, 0x90, 72, 90).sysex (1, huge).sysex (5, message).midi (6, 0x80, 72, 0);
    const auto out = p.run (&events);

    ASSERT_EQ (out.size(), 3u);
    EXPECT_EQ (out[1].type, kVstSysExType);
    EXPECT_EQ (out[1].byteSize, 48);
    EXPECT_EQ (out[1].flags, 0);
    EXPECT_EQ (out[1].deltaFrames, 5);
    EXPECT_EQ (out[1].sysex, message);
    EXPECT_EQ (out[2].midi[0], 0x81);

    // The same record serves a short message in the next block, and sysex again after.
    EXPECT_EQ (p.play (melody), harmonised);
    EXPECT_EQ (p.run (&events)[1].sysex, message);
}

TEST (Blocks, BypassPassesEventsAndAudioUnchanged)
{
    ActivePlugin p;
    p.audio.fill (testSignal);
    EXPECT_EQ (p.plugin.dispatch (effSetBypass, 0, 1), 1);
    p.load (settingElements ({ { Settings::pedalsToBoth, 1 } }));

    const Events events { on (1, 36, 100), on (1, 72, 90, 7), cc (3, 64, 127, 8), cc (1, 123, 0, 9) };
    EXPECT_EQ (p.play (events), events);
    EXPECT_EQ (p.audio.outputs[0][200], testSignal (0, 200));

    // Nothing was booked while bypassed: back on, the melody has no chord.
    p.plugin.dispatch (effSetBypass, 0, 0);
    EXPECT_EQ (p.play ({ on (1, 74, 90) }), (Events { on (2, 74, 90) }));
}

// Audio passes through untouched whatever buffers the host hands over:
// buffers 0 and 1 are the inputs, 2 and 3 the usual outputs.
TEST (Blocks, AudioPassesThroughWhateverTheBuffers)
{
    struct Layout
    {
        const char* name;
        int announced, samples;
        int outputBuffer[2], signalIn[2]; // where each output goes, which input it must then hold
    };
    const Layout layouts[] = {
        { "separate", 512, 512, { 2, 3 }, { 0, 1 } },
        { "in place", 512, 512, { 0, 1 }, { 0, 1 } },
        { "one buffer for both outputs: the last written", 512, 512, { 2, 2 }, { 1, 1 } },
        { "output 0 in input 1's memory", 300, 300, { 1, 3 }, { 0, 1 } },
        { "longer than announced", 64, 1000, { 2, 3 }, { 0, 1 } },
        { "longer than announced, shared", 64, 1000, { 2, 2 }, { 1, 1 } },
        { "after block size 0", 0, 64, { 2, 2 }, { 1, 1 } },
    };

    for (auto& l : layouts)
    {
        ActivePlugin p (l.announced);
        std::vector<std::vector<float>> buffers (4, std::vector<float> ((size_t) l.samples));
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < l.samples; ++i)
                buffers[(size_t) c][(size_t) i] = testSignal (c, i);
        float* inputs[] = { buffers[0].data(), buffers[1].data() };
        float* outputs[] = { buffers[(size_t) l.outputBuffer[0]].data(), buffers[(size_t) l.outputBuffer[1]].data() };

        auto chord = eventsOf ({ on (1, 36, 100), on (1, 40, 100), on (1, 72, 90, 3) });
        p.plugin.sendEvents (chord);
        p.plugin.processReplacing (inputs, outputs, 0); // an empty block first, as some hosts send
        p.plugin.processReplacing (inputs, outputs, l.samples);

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < l.samples; ++i)
                ASSERT_EQ (outputs[c][i], testSignal (l.signalIn[c], i)) << l.name << ", output " << c << ", sample " << i;
    }
}

// Hosts open, switch on and off in every order; a melody note then still
// comes back once, re-channelled, and nothing played before switching on.
TEST (RealHosts, SwitchingOnAndOffInAnyOrder)
{
    const std::pair<const char*, std::function<void (vsthost::Plugin&)>> orders[] = {
        { "first block without switching on", [] (vsthost::Plugin& p) { p.dispatch (effOpen); } },
        { "setters before open", [] (vsthost::Plugin& p) {
             p.dispatch (effSetSampleRate, 0, 0, nullptr, 48000.0f);
             p.dispatch (effSetBlockSize, 0, 256);
             p.dispatch (effOpen);
         } },
        { "events before switching on are dropped", [] (vsthost::Plugin& p) {
             p.dispatch (effOpen);
             auto early = eventsOf ({ on (1, 60, 90) });
             p.sendEvents (early);
             p.dispatch (effMainsChanged, 0, 1);
         } },
        { "block after switching off", [] (vsthost::Plugin& p) {
             p.dispatch (effOpen);
             p.dispatch (effMainsChanged, 0, 1);
             p.dispatch (effMainsChanged, 0, 0);
         } },
    };

    for (auto& [name, order] : orders)
    {
        vsthost::Plugin plugin (pluginLibrary());
        order (plugin);
        auto note = eventsOf (melody);
        plugin.sendEvents (note);
        vsthost::AudioBlock audio (2, 256);
        plugin.processReplacing (audio.inputPointers.data(), audio.outputPointers.data(), 256);
        EXPECT_EQ (received (plugin.getReceivedEvents()), harmonised) << name;
        EXPECT_GE (plugin.countCalls (audioMasterWantMidi), 1) << name;
    }
}

TEST (RealHosts, HeldChordSurvivesSuspendAndResume)
{
    ActivePlugin p;
    p.play (notes (1, { 36, 40 }, 100));

    for (int i = 0; i < 100; ++i)
    {
        p.plugin.dispatch (effMainsChanged, 0, 0);
        p.plugin.dispatch (effMainsChanged, 0, 1);
        p.run();
    }

    EXPECT_EQ (p.play ({ on (1, 72, 90, 2) }), notes (2, { 60, 64 }, 90) + Events { on (2, 72, 90, 2) });
}

//==============================================================================
std::vector<std::array<uint8_t, 4>> eventBytes (const std::vector<vsthost::ReceivedEvent>& events)
{
    std::vector<std::array<uint8_t, 4>> bytes;
    for (auto& e : events)
        bytes.push_back (e.midi);
    return bytes;
}

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
    EXPECT_EQ (whole.plugin.getNumProcessEventsCalls(), 1);

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
} // namespace
