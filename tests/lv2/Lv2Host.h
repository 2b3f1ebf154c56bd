#pragma once

// Our LV2 test host on lilv, the reference host library: it finds the built
// bundle, makes instances with the features a host offers, connects every
// port and runs blocks; the output comes back as the VST test host reports
// it, so that the same checkers and note ledger read both formats.
// One thread per instance; the URID map may be shared.

#include "Events.h"
#include "VstHost.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace lv2host
{
inline constexpr const char* pluginUri = "urn:brasklab:polyquinta";

/** The host's URID map and unmap, shared by all instances: a URI's id is its place in the list. */
struct Urids
{
    static Urids& get()
    {
        static Urids urids;
        return urids;
    }

    LV2_URID map (const char* uri)
    {
        const std::lock_guard<std::mutex> lock (mutex);
        auto it = std::find (uris.begin(), uris.end(), uri);
        if (it == uris.end())
            it = uris.insert (it, uri);
        return (LV2_URID) (it - uris.begin() + 1);
    }

    const char* unmap (LV2_URID id)
    {
        const std::lock_guard<std::mutex> lock (mutex);
        return id > 0 && id <= uris.size() ? uris[id - 1].c_str() : nullptr;
    }

    std::mutex mutex;
    std::deque<std::string> uris; // stable addresses for unmap's answers
    LV2_URID_Map mapFeature { this, [] (LV2_URID_Map_Handle h, const char* uri) { return static_cast<Urids*> (h)->map (uri); } };
    LV2_URID_Unmap unmapFeature { this, [] (LV2_URID_Unmap_Handle h, LV2_URID id) { return static_cast<Urids*> (h)->unmap (id); } };
};

/** The lilv world with the built bundle loaded (once per process). */
struct World
{
    static World& get()
    {
        static World world;
        return world;
    }

    World()
    {
        auto* bundle = lilv_new_file_uri (world, nullptr, POLYQUINTA_LV2_BUNDLE "/");
        auto* uri = lilv_new_uri (world, pluginUri);
        lilv_world_load_bundle (world, bundle);
        plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world), uri);
        lilv_node_free (bundle);
        lilv_node_free (uri);
    }

    LilvWorld* world = lilv_world_new();
    const LilvPlugin* plugin = nullptr;
};

/** One instance with its ports connected: MIDI in and out, stereo audio, enabled. */
class Instance
{
public:
    explicit Instance (int blockSize = 512, bool offerBlockSize = true)
        : numSamples (blockSize), maxBlock (blockSize), audio (4, std::vector<float> ((size_t) blockSize))
    {
        auto& u = Urids::get();
        options[0] = { LV2_OPTIONS_INSTANCE, 0, u.map (LV2_BUF_SIZE__maxBlockLength), sizeof (int32_t), u.map (LV2_ATOM__Int), &maxBlock };
        features = { &mapFeature, &unmapFeature, offerBlockSize ? &optionsFeature : nullptr, nullptr };

        if (World::get().plugin != nullptr)
            instance = lilv_plugin_instantiate (World::get().plugin, 48000.0, features.data());
        if (instance == nullptr)
            return;

        void* ports[] = { inputBuffer.data(), outputBuffer.data(), audio[0].data(), audio[1].data(), audio[2].data(), audio[3].data(), &enabled };
        for (uint32_t i = 0; i < 7; ++i)
            lilv_instance_connect_port (instance, i, ports[i]);
        lilv_instance_activate (instance);
    }

    ~Instance()
    {
        if (instance != nullptr)
        {
            lilv_instance_deactivate (instance);
            lilv_instance_free (instance);
        }
    }

    bool isLoaded() const { return instance != nullptr; }
    void connect (uint32_t port, void* data) { lilv_instance_connect_port (instance, port, data); }
    LilvInstance* lilvInstance() const { return instance; }
    LV2_Handle handle() const { return lilv_instance_get_handle (instance); }

    // What a host does between blocks: the enabled port, stopping and starting
    // processing (as on a change of the audio set-up), a state restore.
    void bypass (bool on) { enabled = on ? 0.0f : 1.0f; }
    void restartPlayback()
    {
        lilv_instance_deactivate (instance);
        lilv_instance_activate (instance);
    }
    void load (const std::string& elements) { restoreSettings ("<Root>" + elements + "</Root>"); }

    /** Adds an event to the next block: MIDI bytes, or of `type` when given. */
    Instance& event (int64_t frames, const std::vector<uint8_t>& bytes, const char* type = LV2_MIDI__MidiEvent)
    {
        std::vector<uint8_t> e (sizeof (LV2_Atom_Event));
        *reinterpret_cast<LV2_Atom_Event*> (e.data()) = { { frames }, { (uint32_t) bytes.size(), Urids::get().map (type) } };
        e.insert (e.end(), bytes.begin(), bytes.end());
        pending.push_back (std::move (e));
        return *this;
    }

    Instance& queue (const Events& events)
    {
        for (auto& e : events)
            event (e.position, e.bytes);
        return *this;
    }

    /** Runs one block with the pending events and these; the plug-in's output as the VST host would report it. */
    const std::vector<vsthost::ReceivedEvent>& run (const Events& events = {})
    {
        queue (events);
        writeInput();
        process();
        return readOutput();
    }

    /** The plug-in's run() alone, over the input sequence as it stands. */
    void process()
    {
        output().atom = { outputRoom, 0 }; // the room the host made, as a host says it
        lilv_instance_run (instance, (uint32_t) numSamples);
    }

    /** Writes the pending events as the next block's input sequence; tests may spoil it. */
    LV2_Atom_Sequence* writeInput()
    {
        auto* seq = reinterpret_cast<LV2_Atom_Sequence*> (inputBuffer.data());
        *seq = { { sizeof (LV2_Atom_Sequence_Body), Urids::get().map (LV2_ATOM__Sequence) }, { 0, 0 } };
        for (auto& e : pending)
            lv2_atom_sequence_append_event (seq, (uint32_t) (inputBuffer.size() * 8 - sizeof (LV2_Atom)), reinterpret_cast<const LV2_Atom_Event*> (e.data()));
        pending.clear();
        return seq;
    }

    /** The output sequence as the last run() left it, read into VST event records. */
    const std::vector<vsthost::ReceivedEvent>& readOutput()
    {
        received.clear();
        LV2_ATOM_SEQUENCE_FOREACH (&output(), ev)
        {
            EXPECT_EQ (ev->body.type, Urids::get().map (LV2_MIDI__MidiEvent));
            const auto* data = static_cast<const uint8_t*> (LV2_ATOM_BODY_CONST (&ev->body));
            vsthost::ReceivedEvent r;
            r.deltaFrames = (int32_t) ev->time.frames;
            r.type = ev->body.size <= 3 ? kVstMidiType : kVstSysExType;
            r.byteSize = ev->body.size <= 3 ? 32 : 0;
            if (ev->body.size <= 3)
                std::copy (data, data + ev->body.size, r.midi.begin());
            else
                r.sysex.assign (data, data + ev->body.size);
            received.push_back (r);
        }
        return received;
    }

    LV2_Atom_Sequence& output() { return *reinterpret_cast<LV2_Atom_Sequence*> (outputBuffer.data()); }

    /** The settings through the plug-in's state interface: restore a value of this type, or save. */
    LV2_State_Status restoreSettings (const std::string& value, const char* type = LV2_ATOM__String)
    {
        Stored stored { value + '\0', Urids::get().map (type) };
        return stateInterface()->restore (
            handle(), [] (LV2_State_Handle h, uint32_t, size_t* size, uint32_t* t, uint32_t* flags) -> const void* {
            auto& s = *static_cast<Stored*> (h);
            *size = s.value.size();
            *t = s.type;
            *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
            return s.value.data(); }, &stored, 0, features.data());
    }

    std::string savedSettings()
    {
        Stored stored;
        stateInterface()->save (
            handle(), [] (LV2_State_Handle h, uint32_t, const void* value, size_t size, uint32_t type, uint32_t) {
            *static_cast<Stored*> (h) = { std::string (static_cast<const char*> (value), size), type };
            return LV2_STATE_SUCCESS; }, &stored, 0, features.data());
        EXPECT_EQ (stored.type, Urids::get().map (LV2_ATOM__String));
        return stored.value.substr (0, stored.value.find ('\0'));
    }

    float enabled = 1.0f;
    uint32_t outputRoom = 1 << 16; // what the host says the output buffer holds: at most what it does (128 KiB)
    int numSamples;
    std::vector<float>& audioPort (int index) { return audio[(size_t) index]; }

private:
    struct Stored
    {
        std::string value;
        uint32_t type = 0;
    };

    const LV2_State_Interface* stateInterface() const
    {
        return static_cast<const LV2_State_Interface*> (lilv_instance_get_extension_data (instance, LV2_STATE__interface));
    }

    LV2_Feature mapFeature { LV2_URID__map, &Urids::get().mapFeature };
    LV2_Feature unmapFeature { LV2_URID__unmap, &Urids::get().unmapFeature };
    int32_t maxBlock;
    LV2_Options_Option options[2] {};
    LV2_Feature optionsFeature { LV2_OPTIONS__options, options };
    std::vector<const LV2_Feature*> features;

    LilvInstance* instance = nullptr;
    std::vector<uint64_t> inputBuffer = std::vector<uint64_t> (1 << 17); // 1 MiB, 8-byte aligned
    std::vector<uint64_t> outputBuffer = std::vector<uint64_t> ((1 << 17) / 8 + 1);
    std::vector<std::vector<float>> audio;
    std::vector<std::vector<uint8_t>> pending; // whole atom events
    std::vector<vsthost::ReceivedEvent> received;
};
} // namespace lv2host
