// The LV2 plug-in through lilv, as an LV2 host loads it: what differs from
// the VST format (atom sequences, the output's room, the enabled port, state
// as text, the UI's entry points), with the engine's worked block as proof
// that both formats run the same processor.

#include "AllocationCounter.h"
#include "Lv2Host.h"
#include "NoteLedger.h"
#include "PluginFixture.h"
#include "RandomStream.h"
#include "HostWindows.h"

#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <cmath>
#include <dlfcn.h>

namespace
{
using lv2host::Instance;

TEST (Lv2, WorkedBlockAudioAndBypass)
{
    Instance typed;
    expectHarmonyTypeTakenFromTheState (typed);

    for (bool offerBlockSize : { true, false })
    {
        Instance p (512, offerBlockSize);
        ASSERT_TRUE (p.isLoaded());

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < p.numSamples; ++i)
                p.audioPort (c)[(size_t) i] = std::sin (0.01f * (float) i) * (c == 0 ? 0.5f : -0.25f);

        for (auto& block : workedBlocks())
            EXPECT_EQ (received (p.run (block.played)), block.answered);

        for (int c = 0; c < 2; ++c)
            EXPECT_EQ (p.audioPort (2 + c), p.audioPort (c));

        // A host may run in place with any pairing of buffers: out_n carries in_n.
        const auto inputs = std::make_pair (p.audioPort (0), p.audioPort (1));
        p.connect (4, p.audioPort (1).data()), p.connect (5, p.audioPort (0).data());
        p.run();
        EXPECT_EQ (p.audioPort (1), inputs.first);
        EXPECT_EQ (p.audioPort (0), inputs.second);
        p.connect (4, p.audioPort (2).data()), p.connect (5, p.audioPort (3).data());

        // The host's bypass through the enabled port: the voices stop, events pass unchanged.
        p.bypass (true);
        EXPECT_EQ (received (p.run ({ on (1, 76, 70, 5) })), notes (2, { 64, 67, 72 }, 0, true) + Events { on (1, 76, 70, 5) });
    }
}

// Whatever the host's times and sizes, the events read stay inside the
// sequence, and those written carry frames inside the block, in order.
TEST (Lv2, HostileSequencesAndTimes)
{
    struct Case
    {
        const char* name;
        std::vector<std::pair<int64_t, std::vector<uint8_t>>> events;
        Events expected;
    };
    const Case cases[] = {
        { "at the edges and past the end", { { 0, { 0x90, 72, 90 } }, { 63, { 0x80, 72, 0 } }, { 64, { 0x90, 74, 90 } }, { 1LL << 40, { 0x80, 74, 0 } } }, { on (2, 72, 90), off (2, 72, 0, 63), on (2, 74, 90, 63), off (2, 74, 0, 63) } },
        { "negative and going back in time", { { -5, { 0x90, 72, 90 } }, { 30, { 0x90, 74, 90 } }, { 10, { 0x80, 74, 0 } } }, { on (2, 72, 90), on (2, 74, 90, 30), off (2, 74, 0, 30) } },
        { "empty, cut and status-less events", { { 1, {} }, { 2, { 0x90 } }, { 3, { 0x40, 0x40 } }, { 4, { 0x90, 75, 60, 0x99, 0x99 } } }, { on (2, 75, 60, 4) } },
    };

    for (const auto& c : cases)
    {
        Instance p (64);
        for (auto& [frames, bytes] : c.events)
            p.event (frames, bytes);
        EXPECT_EQ (received (p.run()), c.expected) << c.name;
    }

    // An event of another type is passed over; one whose size runs past the sequence ends the reading.
    Instance p (64);
    p.event (0, { 1, 2, 3, 4 }, LV2_ATOM__Int).queue ({ on (1, 72, 90, 1), on (1, 74, 90, 2) });
    auto* seq = p.writeInput();
    auto* last = reinterpret_cast<LV2_Atom_Event*> (reinterpret_cast<uint8_t*> (&seq->body) + sizeof (LV2_Atom_Sequence_Body) + 2 * 24);
    last->body.size = 0xfffffff0u;
    p.process();
    EXPECT_EQ (received (p.readOutput()), (Events { on (2, 72, 90, 1) }));

    // A size that leaves out the last event's padding (75 and 123 bytes: three
    // and five note events): everything after it, where a note-on stands in
    // the buffer, is never read.
    for (int numEvents : { 3, 5 })
    {
        Instance q (64);
        for (int i = 0; i < numEvents + 1; ++i)
            q.event (i, { 0x90, (uint8_t) (60 + i), 90 });
        auto* sequence = q.writeInput();
        sequence->atom.size = (uint32_t) (sizeof (LV2_Atom_Sequence_Body) + 24 * (size_t) (numEvents - 1) + 19);
        q.process();
        EXPECT_EQ (received (q.readOutput()).size(), (size_t) numEvents) << sequence->atom.size;
    }
}

// What does not fit the host's output buffer goes out at the start of the
// next blocks, in order: late, but never lost.
TEST (Lv2, OutputBeyondTheHostsRoomWaitsForTheNextBlock)
{
    Instance p;
    p.outputRoom = 4; // not even room for the sequence's header
    EXPECT_TRUE (p.run (workedBlocks()[0].played).empty());
    p.outputRoom = 8 + 3 * 24; // room for three events
    Events all;

    for (int block = 0; block < 4; ++block)
    {
        const auto events = received (p.run());
        EXPECT_LE (events.size(), 3u);
        EXPECT_LE (p.output().atom.size, 8u + 3 * 24);
        all.insert (all.end(), events.begin(), events.end());
    }

    // All of them waited, so all go out at the start of the later blocks.
    auto expected = workedBlocks()[0].answered;
    for (auto& e : expected)
        e.position = 0;
    EXPECT_EQ (all, expected);

    // A dump bigger than all the room a block gets can never go out: it is
    // left out whole, and the releases behind it go on. One that fits exactly passes.
    const auto dump = [] (size_t size) {
        std::vector<uint8_t> d (size, 0x11);
        d.front() = 0xf0, d.back() = 0xf7;
        return Event { 0, d };
    };
    StreamPlayer<Instance> s;
    s.format.outputRoom = 1024;
    for (int key : { 36, 40, 43, 72 })
        s.press (key);
    s.runBlock();
    for (size_t size : { 1001u, 2000u, 1000u })
    {
        s.pending.push_back (dump (size));
        for (int key : { 36, 40, 43, 72 })
            size == 1000 ? s.press (key) : s.release (key);
        s.runBlock();
    }
    for (int key : { 36, 40, 43, 72 })
        s.release (key);
    for (int block = 0; block < 3; ++block)
        s.runBlock();
    EXPECT_TRUE (s.ledger.stillSounding().empty()) << joined (s.ledger.stillSounding());

    // Dumps go out whole or not at all: longer than one event can hold, not at all.
    Instance big;
    big.outputRoom = 1 << 17;
    for (size_t size : { 65535u, 70000u, 409600u })
        big.event (0, dump (size).bytes);
    auto out = received (big.run());
    for (int block = 0; block < 3; ++block)
        out = out + received (big.run());
    EXPECT_EQ (out, (Events { dump (65535) }));
}

TEST (Lv2, NeverStuckInRandomStreams)
{
    for (unsigned seed = 1; seed <= 200 && ! HasFailure(); ++seed)
    {
        // Bypass is the enabled port, a restart deactivate and activate, a load a state restore.
        StreamPlayer<Instance> s (64);
        ASSERT_TRUE (s.format.isLoaded());
        expectNothingStuck (s, seed);
    }

    StreamPlayer<Instance> overloaded (64);
    expectNothingStuckUnderOverload (overloaded, 1);
}

// Saved by lilv as a host saves a project, restored into a new instance: the
// same settings text as the VST chunk carries, every setting in it; unreadable
// state changes nothing.
TEST (Lv2, StateThroughLilv)
{
    auto& world = lv2host::World::get();
    auto& urids = lv2host::Urids::get();
    const std::string moved = "<Root>" + everySettingMovedElements() + "</Root>";

    Instance a;
    ASSERT_TRUE (a.isLoaded());
    EXPECT_EQ (a.savedSettings(), "<Root><chordThru>1</chordThru><chanOutChord>1</chanOutChord><chanOutSolo>2</chanOutSolo><splitPoint>48</splitPoint><harmonyEnabled>1</harmonyEnabled><ccHarmonyCtl>32</ccHarmonyCtl><maxSoloVoices>10</maxSoloVoices></Root>");
    EXPECT_EQ (a.restoreSettings (moved), LV2_STATE_SUCCESS);

    auto* state = lilv_state_new_from_instance (
        world.plugin, a.lilvInstance(), &urids.mapFeature, nullptr, nullptr, nullptr, nullptr,
        [] (const char*, void*, uint32_t*, uint32_t*) -> const void* { return nullptr; }, nullptr, 0, nullptr);
    ASSERT_NE (state, nullptr);
    char* text = lilv_state_to_string (world.world, &urids.mapFeature, &urids.unmapFeature, state, "urn:test:state", nullptr);
    lilv_state_free (state);
    ASSERT_NE (text, nullptr);
    EXPECT_NE (std::string (text).find (moved), std::string::npos) << text;

    Instance b;
    auto* loaded = lilv_state_new_from_string (world.world, &urids.mapFeature, text);
    lilv_free (text);
    ASSERT_NE (loaded, nullptr);
    lilv_state_restore (loaded, b.lilvInstance(), nullptr, nullptr, 0, nullptr);
    lilv_state_free (loaded);
    EXPECT_EQ (b.savedSettings(), moved);

    const struct
    {
        std::string value;
        const char* type;
        LV2_State_Status status;
    } unreadable[] = { { "<Root><splitPoint>", LV2_ATOM__String, LV2_STATE_SUCCESS }, { "not xml", LV2_ATOM__String, LV2_STATE_SUCCESS }, { "<Root><splitPoint>70</splitPoint></Root>", LV2_ATOM__Chunk, LV2_STATE_ERR_BAD_TYPE } };
    for (auto& u : unreadable)
    {
        EXPECT_EQ (b.restoreSettings (u.value, u.type), u.status) << u.value;
        EXPECT_EQ (b.savedSettings(), moved) << u.value;
    }
}

TEST (Lv2, RunNeitherAllocatesNorWaits)
{
    Instance p (256);
    ASSERT_TRUE (p.isLoaded());
    auto playAndBypass = [&] (int i) {
        if ((i & 3) == 0)
            p.queue (workedBlocks()[0].played);
        else if ((i & 3) == 2)
            p.queue (Events { cc (1, 123, 0) } + notes (1, { 36, 40, 43, 72 }, 0, true));
        p.enabled = (i & 8) != 0 ? 0.0f : 1.0f;
        p.writeInput();
    };
    expectRealtimeBlocks (0, 5000, playAndBypass, [&] (int) { p.process(); });
}

//==============================================================================
/** The UI's descriptor, from the binary the bundle names for it, as a host finds it. */
const LV2UI_Descriptor* uiDescriptor()
{
    auto& world = lv2host::World::get();
    auto* uis = lilv_plugin_get_uis (world.plugin);
    const LilvUI* ui = lilv_uis_get (uis, lilv_uis_begin (uis));
    char* path = lilv_file_uri_parse (lilv_node_as_uri (lilv_ui_get_binary_uri (ui)), nullptr);
    void* library = dlopen (path, RTLD_NOW | RTLD_LOCAL);
    lilv_free (path);
    lilv_uis_free (uis);
    auto* entry = library != nullptr ? reinterpret_cast<const LV2UI_Descriptor* (*) (uint32_t)> (dlsym (library, "lv2ui_descriptor")) : nullptr;
    return entry != nullptr ? entry (0) : nullptr;
}

struct OpenUi
{
    OpenUi (const LV2UI_Descriptor& d, HostWindow& host, Instance* instance) : descriptor (d)
    {
        LV2_Feature parent { LV2_UI__parent, host.handle() };
        LV2_Feature access { LV2_INSTANCE_ACCESS_URI, instance != nullptr ? instance->handle() : nullptr };
        LV2UI_Resize resize { this, [] (LV2UI_Feature_Handle h, int w, int height) { static_cast<OpenUi*> (h)->size = { w, height }; return 0; } };
        LV2_Feature resizing { LV2_UI__resize, &resize };
        const LV2_Feature* features[] = { &parent, &resizing, instance != nullptr ? &access : nullptr, nullptr };
        handle = d.instantiate (&d, lv2host::pluginUri, POLYQUINTA_LV2_BUNDLE "/", nullptr, nullptr, &widget, features);
        idleInterface = static_cast<const LV2UI_Idle_Interface*> (d.extension_data (LV2_UI__idleInterface));
    }

    ~OpenUi()
    {
        if (handle != nullptr)
            descriptor.cleanup (handle);
    }

    /** Idles the UI at about 30 Hz for the given time, as hosts do. */
    void idle (int milliseconds)
    {
        idleFor (milliseconds, [this] { EXPECT_EQ (idleInterface->idle (handle), 0); });
    }

    const LV2UI_Descriptor& descriptor;
    LV2UI_Handle handle = nullptr;
    LV2UI_Widget widget = nullptr;
    const LV2UI_Idle_Interface* idleInterface = nullptr;
    std::pair<int, int> size {};
};

TEST (Lv2Ui, ShowsPlayingInTheHostWindowAndCloses)
{
    if (! haveDisplay())
        GTEST_SKIP() << "needs a display (the test command runs under Xvfb)";

    const auto* descriptor = uiDescriptor();
    ASSERT_NE (descriptor, nullptr);
    EXPECT_STREQ (descriptor->URI, "urn:brasklab:polyquinta#ui");
    HostWindow host;
    ASSERT_TRUE (host.isOpen());
    Instance p;

    // A host without instance access gets no editor, and the plug-in runs on.
    EXPECT_EQ (OpenUi (*descriptor, host, nullptr).handle, nullptr);
    EXPECT_TRUE (host.children().empty());

    {
        OpenUi ui (*descriptor, host, &p);
        ASSERT_NE (ui.handle, nullptr);
        ASSERT_NE (ui.idleInterface, nullptr);
        ASSERT_EQ (host.children().size(), 1u);
        EXPECT_EQ ((uintptr_t) ui.widget, (uintptr_t) host.children().front());
        EXPECT_EQ (ui.size, std::make_pair (996, 250));

        p.run (workedBlocks()[0].played);
        ui.idle (400);
        expectShowsTheWorkedChord (host);

        // "Learn", then key 60: the bars move to the new split.
        host.click (host.children().front(), 446, 112);
        ui.idle (200);
        p.run ({ on (1, 60, 90), off (1, 60, 0, 5) });
        ui.idle (300);
        expectSplitAt60 (host);
        EXPECT_NE (p.savedSettings().find ("<splitPoint>60</splitPoint>"), std::string::npos);
    }

    EXPECT_TRUE (host.children().empty());
}
} // namespace
