#pragma once

// Loads the built plug-in library the way a host does and drives it through
// its binary interface only.

#include "SettingsText.h"
#include "VstHost.h"

#include <gtest/gtest.h>

#include <cstring>

inline const vsthost::Library& pluginLibrary()
{
    static vsthost::Library library (POLYQUINTA_PLUGIN_PATH);
    return library;
}

/** A short event as the host received it: position and the three MIDI bytes. */
struct Short
{
    int position;
    uint8_t status, data1, data2;

    bool operator== (const Short& o) const
    {
        return position == o.position && status == o.status && data1 == o.data1 && data2 == o.data2;
    }
};

inline std::ostream& operator<< (std::ostream& os, const Short& s)
{
    return os << "@" << s.position << " " << std::hex << (int) s.status << " " << (int) s.data1 << " " << (int) s.data2 << std::dec;
}

using Shorts = std::vector<Short>;

inline Shorts shortEvents (const std::vector<vsthost::ReceivedEvent>& events)
{
    Shorts result;
    for (auto& e : events)
    {
        EXPECT_EQ (e.type, kVstMidiType);
        EXPECT_EQ (e.byteSize, 32);
        EXPECT_EQ (e.flags, 0);
        result.push_back ({ e.deltaFrames, e.midi[0], e.midi[1], e.midi[2] });
    }
    return result;
}

/** A block of short events to hand to the plug-in. */
inline vsthost::EventBlock eventsOf (const Shorts& events)
{
    vsthost::EventBlock block;
    for (auto& e : events)
        block.midi (e.position, e.status, e.data1, e.data2);
    return block;
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

    /** One block with these short events; what came back. */
    Shorts play (const Shorts& events)
    {
        auto block = eventsOf (events);
        return shortEvents (run (&block));
    }

    vsthost::Plugin plugin;
    vsthost::AudioBlock audio;
    int numSamples;
};

inline void loadSettings (vsthost::Plugin& plugin, const std::string& elements)
{
    auto chunk = settingsChunk (elements);
    plugin.dispatch (effSetChunk, 0, (intptr_t) chunk.size(), chunk.data());
}

inline void loadSettings (vsthost::Plugin& plugin, std::initializer_list<std::pair<Settings::Key, int>> settings)
{
    loadSettings (plugin, settingElements (settings));
}

/** The worked block, in two blocks of the default settings: what is played
    and, byte for byte, what comes back. Every format must answer the same. */
struct WorkedBlock
{
    Shorts played, answered;
};

inline const std::vector<WorkedBlock>& workedBlocks()
{
    static const std::vector<WorkedBlock> blocks {
        { { { 0, 0x90, 36, 100 }, { 0, 0x90, 40, 100 }, { 0, 0x90, 43, 100 }, { 100, 0x90, 72, 90 } },
          { { 0, 0x90, 36, 100 }, { 0, 0x90, 40, 100 }, { 0, 0x90, 43, 100 }, { 0, 0x91, 60, 90 }, { 0, 0x91, 64, 90 }, { 0, 0x91, 67, 90 }, { 100, 0x91, 72, 90 } } },
        { { { 20, 0x90, 74, 80 }, { 30, 0x80, 72, 64 } },
          { { 0, 0x81, 60, 0 }, { 0, 0x81, 64, 0 }, { 0, 0x81, 67, 0 }, { 0, 0x91, 60, 90 }, { 0, 0x91, 64, 90 }, { 0, 0x91, 67, 90 }, { 0, 0x81, 60, 0 }, { 0, 0x81, 64, 0 }, { 0, 0x81, 67, 0 }, { 0, 0x91, 64, 80 }, { 0, 0x91, 67, 80 }, { 0, 0x91, 72, 80 }, { 20, 0x91, 74, 80 }, { 30, 0x81, 72, 64 } } },
    };
    return blocks;
}

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
