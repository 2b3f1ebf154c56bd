#pragma once

// Loads the built plug-in library the way a host does and drives it through
// its binary interface only.

#include "Events.h"
#include "SettingsText.h"
#include "VstHost.h"

#include <gtest/gtest.h>

#include <cstring>

inline const vsthost::Library& pluginLibrary()
{
    static vsthost::Library library (POLYQUINTA_PLUGIN_PATH);
    return library;
}

/** The bytes of a short message that count, as its status byte says. */
inline size_t messageLength (uint8_t status)
{
    if (status >= 0xf0)
        return status == 0xf2 ? 3 : (status == 0xf1 || status == 0xf3 ? 2 : 1);
    return (status & 0xe0) == 0xc0 ? 2 : 3;
}

/** The events as the host received them; short records are checked to be well formed. */
inline Events received (const std::vector<vsthost::ReceivedEvent>& events)
{
    Events result;
    for (auto& e : events)
    {
        if (e.type == kVstSysExType)
        {
            result.push_back ({ e.deltaFrames, e.sysex });
            continue;
        }
        EXPECT_EQ (e.type, kVstMidiType);
        EXPECT_EQ (e.byteSize, 32);
        EXPECT_EQ (e.flags, 0);
        result.push_back ({ e.deltaFrames, std::vector<uint8_t> (e.midi.begin(), e.midi.begin() + (long) messageLength (e.midi[0])) });
    }
    return result;
}

/** A block of events to hand to the plug-in. */
inline vsthost::EventBlock eventsOf (const Events& events)
{
    vsthost::EventBlock block;
    for (auto& e : events)
    {
        if (e.bytes.front() == 0xf0)
            block.sysex (e.position, e.bytes);
        else
            block.midi (e.position, e.bytes[0], e.bytes.size() > 1 ? e.bytes[1] : 0, e.bytes.size() > 2 ? e.bytes[2] : 0);
    }
    return block;
}

inline void loadSettings (vsthost::Plugin& plugin, const std::string& elements)
{
    auto chunk = settingsChunk (elements);
    plugin.dispatch (effSetChunk, 0, (intptr_t) chunk.size(), chunk.data());
}

inline void loadSettings (vsthost::Plugin& plugin, std::initializer_list<std::pair<Settings::Key, int>> settings)
{
    loadSettings (plugin, settingElements (settings));
}

/** A plug-in instance, switched on, with stereo buffers of `blockSize` samples. */
struct ActivePlugin
{
    explicit ActivePlugin (int blockSize = 512, vsthost::HostBehaviour behaviour = {}, bool resume = true)
        : plugin (pluginLibrary(), behaviour), audio (2, blockSize), numSamples (blockSize)
    {
        if (! plugin.isLoaded())
            return;

        plugin.dispatch (effOpen);
        plugin.dispatch (effSetSampleRate, 0, 0, nullptr, 44100.0f);
        plugin.dispatch (effSetBlockSize, 0, blockSize);

        if (resume)
            plugin.dispatch (effMainsChanged, 0, 1);
    }

    /** Hands over the events (if any), then processes one block. */
    const std::vector<vsthost::ReceivedEvent>& run (vsthost::EventBlock* events = nullptr)
    {
        plugin.forgetReceivedEvents();
        if (events != nullptr)
            plugin.sendEvents (*events);
        plugin.processReplacing (audio.inputPointers.data(), audio.outputPointers.data(), numSamples);
        return plugin.getReceivedEvents();
    }

    /** One block with these events; what came back, as received. */
    const std::vector<vsthost::ReceivedEvent>& run (const Events& events)
    {
        auto block = eventsOf (events);
        return run (&block);
    }

    /** One block with these events; what came back. */
    Events play (const Events& events) { return received (run (events)); }

    // What a host does between blocks.
    void bypass (bool on) { plugin.dispatch (effSetBypass, 0, on ? 1 : 0); }
    void load (const std::string& elements) { loadSettings (plugin, elements); }
    void restartPlayback()
    {
        plugin.dispatch (effMainsChanged, 0, 0);
        plugin.dispatch (effSetSampleRate, 0, 0, nullptr, 48000.0f);
        plugin.dispatch (effMainsChanged, 0, 1);
    }

    vsthost::Plugin plugin;
    vsthost::AudioBlock audio;
    int numSamples;
};

/** effEditGetRect answers the editor's rectangle: 996 x 250 at 0,0. */
inline void expectEditorRectangle (vsthost::Plugin& plugin)
{
    ERect* rect = nullptr;
    ASSERT_NE (plugin.dispatch (effEditGetRect, 0, 0, &rect), 0);
    ASSERT_NE (rect, nullptr);
    EXPECT_EQ (rect->top, 0);
    EXPECT_EQ (rect->left, 0);
    EXPECT_EQ (rect->bottom, 250);
    EXPECT_EQ (rect->right, 996);
}

/** After the worked block, the harmony type changed to Duet through the
    state and a melody step: the Close voices end and the Duet voice comes,
    byte for byte, in any format. */
template <typename Format>
void expectHarmonyTypeTakenFromTheState (Format& p)
{
    for (auto& block : workedBlocks())
        p.run (block.played);
    p.load (settingElements ({ { Settings::harmonyType, 1 } }));
    const Events step { on (1, 76, 80, 20) }, answer = notes (2, { 64, 67, 72 }, 0, true) + Events { on (2, 72, 80), on (2, 76, 80, 20) };
    EXPECT_EQ (received (p.run (step)), answer);
}
