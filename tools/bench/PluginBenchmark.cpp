// Per-block cost of the built plug-in, driven through our own hosts exactly as
// a host drives it: harmonizing and bypassed, from 4 to 4096 events in a
// 512-sample block, the worst input we know of, and overload; controllers
// through VST3; the LV2 plug-in with a long queue of events waiting for room.
// After the runs it prints the README's table with the ratios the real-time
// goals are stated in.

#include "Lv2Host.h"
#include "Vst3Player.h"
#include "VstHost.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>

namespace
{
constexpr int blockSize = 512;
constexpr double sampleRate = 48000.0;

const vsthost::Library& library()
{
    static vsthost::Library lib (POLYQUINTA_PLUGIN_PATH);
    return lib;
}

/** A loop of blocks of `numEvents` events each: a held chord and a legato
    melody moving above it; every key is up again by the loop's end. */
std::vector<vsthost::EventBlock> performance (int numEvents)
{
    std::vector<vsthost::EventBlock> blocks (8);
    int melody = 0;

    for (size_t b = 0; b < blocks.size(); ++b)
    {
        if (b == 0)
            blocks[b].midi (0, 0x90, 36, 80).midi (0, 0x90, 40, 80).midi (0, 0x90, 43, 80);

        for (int i = 0; i < numEvents; ++i)
        {
            const int t = i * blockSize / numEvents;

            if (i % 2 == 0)
                blocks[b].midi (t, 0x90, (uint8_t) (60 + (melody++ % 24)), 90);
            else
                blocks[b].midi (t, 0x80, (uint8_t) (60 + ((melody - 1) % 24)), 0);
        }

        if (b == blocks.size() - 1)
            blocks[b].midi (blockSize - 1, 0x80, 36, 0).midi (blockSize - 1, 0x80, 40, 0).midi (blockSize - 1, 0x80, 43, 0);
    }

    return blocks;
}

/** The worst input we know of: one chord key struck 1024 times in a block
    while a melody key is held, then released as often. */
std::vector<vsthost::EventBlock> repeatedStrikes()
{
    std::vector<vsthost::EventBlock> blocks (2);
    blocks[0].midi (0, 0x90, 40, 80).midi (0, 0x90, 72, 90);
    blocks[1].midi (0, 0x80, 40, 0).midi (0, 0x80, 72, 0);

    for (int i = 0; i < 1024; ++i)
    {
        blocks[0].midi (i / 2, 0x90, 36, 80);
        blocks[1].midi (i / 2, 0x80, 36, 0);
    }

    return blocks;
}

/** Overload: one block of `numEvents` strikes and releases all over the keyboard, then every key released. */
std::vector<vsthost::EventBlock> overload (int numEvents)
{
    std::vector<vsthost::EventBlock> blocks (2);
    std::vector<bool> held (128);
    uint32_t random = 1;

    for (int i = 0; i < numEvents; ++i)
    {
        random = random * 1664525u + 1013904223u;
        const auto key = (uint8_t) (random >> 25);
        blocks[0].midi (i * blockSize / numEvents, held[key] ? 0x80 : 0x90, key, 90);
        held[key] = ! held[key];
    }

    for (uint8_t key = 0; key < 128; ++key)
        if (held[key])
            blocks[1].midi (0, 0x80, key, 0);

    return blocks;
}

struct Measured
{
    double nsPerBlock = 0, outEventsPerBlock = 0;
};

std::map<std::string, Measured> results;

Measured measure (benchmark::State& state, std::vector<vsthost::EventBlock>& blocks, bool bypassed, int harmonyType = 0)
{
    vsthost::HostBehaviour behaviour;
    behaviour.keepEvents = false;
    vsthost::Plugin plugin (library(), behaviour);
    plugin.dispatch (effSetSampleRate, 0, 0, nullptr, (float) sampleRate);
    plugin.dispatch (effSetBlockSize, 0, blockSize);
    plugin.dispatch (effMainsChanged, 0, 1);
    plugin.dispatch (effSetBypass, 0, bypassed ? 1 : 0);
    if (harmonyType != 0)
    {
        const auto chunk = settingsChunk ({ { Settings::harmonyType, harmonyType } });
        plugin.dispatch (effSetChunk, 0, (intptr_t) chunk.size(), const_cast<char*> (chunk.data()));
    }

    vsthost::AudioBlock audio (2, blockSize);
    std::vector<VstEvents*> prepared;
    for (auto& b : blocks)
        prepared.push_back (b.get());

    size_t i = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        plugin.dispatch (effProcessEvents, 0, 0, prepared[i++ % prepared.size()]);
        plugin.processReplacing (audio.inputPointers.data(), audio.outputPointers.data(), blockSize);
    }
    const auto elapsed = std::chrono::duration<double, std::nano> (std::chrono::steady_clock::now() - start).count();

    Measured m;
    m.nsPerBlock = elapsed / (double) state.iterations();
    m.outEventsPerBlock = (double) plugin.getNumEventsReceived() / (double) state.iterations();
    state.counters["ns_per_block"] = m.nsPerBlock;
    state.counters["out_events"] = m.outEventsPerBlock;
    return m;
}

void performanceBlocks (benchmark::State& state)
{
    const int numEvents = (int) state.range (0);
    const bool bypassed = state.range (1) != 0;
    auto blocks = performance (numEvents);
    results[(bypassed ? "bypassed " : "harmonizing ") + std::to_string (numEvents)] = measure (state, blocks, bypassed);
}

void harmonyTypes (benchmark::State& state)
{
    auto blocks = performance (1024);
    results["type " + std::to_string (state.range (0))] = measure (state, blocks, false, (int) state.range (0));
}

void worstCase (benchmark::State& state)
{
    auto blocks = repeatedStrikes();
    results["worst"] = measure (state, blocks, false);
}

void overloadBlocks (benchmark::State& state)
{
    auto blocks = overload ((int) state.range (0));
    results["overload " + std::to_string (state.range (0))] = measure (state, blocks, false);
}

/** The time of `process` alone, per iteration, in ns: what the host does around it is its own. */
template <typename Between, typename Process>
double timed (benchmark::State& state, Between&& between, Process&& process)
{
    double elapsed = 0;
    for (auto _ : state)
    {
        between();
        const auto start = std::chrono::steady_clock::now();
        process();
        elapsed += std::chrono::duration<double, std::nano> (std::chrono::steady_clock::now() - start).count();
    }
    return elapsed / (double) state.iterations();
}

/** Controllers as a VST3 host sends them: points of the framework's MIDI-CC parameters. */
void vst3Controllers (benchmark::State& state)
{
    const int numPoints = (int) state.range (0);
    vst3host::Player player (blockSize);
    Events controllers;
    for (int i = 0; i < numPoints; ++i)
        controllers.push_back (cc (1 + i % 16, 1 + i % 7, i % 128, i * blockSize / numPoints));

    results["vst3 controllers " + std::to_string (numPoints)].nsPerBlock = timed (
        state, [&] { player.queue (controllers); }, [&] { player.process(); });
}

/** An LV2 block that sends the two events the host has room for, with some 32 000 waiting behind them or none. */
void lv2Queue (benchmark::State& state)
{
    const bool longQueue = state.range (0) != 0;
    lv2host::Instance instance (blockSize);
    instance.outputRoom = 0; // everything waits
    for (int i = 0; longQueue && i < 2; ++i)
    {
        Events burst;
        for (int e = 0; e < 20000; ++e)
            burst.push_back (cc (1 + e % 2, 1, e % 128, e * blockSize / 20000));
        instance.run (burst);
    }
    instance.outputRoom = (uint32_t) (sizeof (LV2_Atom_Sequence_Body) + 2 * 24);

    const Events two { cc (3, 1, 1), cc (3, 1, 2) };
    const auto name = longQueue ? "lv2 long queue" : "lv2 no queue";
    results[name].nsPerBlock = timed (
        state, [&] { instance.queue (longQueue ? Events {} : two).writeInput(); }, [&] { instance.process(); });
}

void printTable()
{
    std::printf ("\n| events in | harmonizing per block | per event | events out | per event out | bypassed per block | per event | out ÷ bypassed per event |\n");
    std::printf ("|---:|---:|---:|---:|---:|---:|---:|---:|\n");

    for (int n : { 4, 64, 256, 1024, 4096 })
    {
        const auto& h = results["harmonizing " + std::to_string (n)];
        const auto& b = results["bypassed " + std::to_string (n)];
        const double perOut = h.nsPerBlock / h.outEventsPerBlock, bypassPerEvent = b.nsPerBlock / n;
        std::printf ("| %d | %.1f µs | %.0f ns | %.0f | %.0f ns | %.1f µs | %.0f ns | %.2f |\n", n, h.nsPerBlock / 1000, h.nsPerBlock / n,
                     h.outEventsPerBlock, perOut, b.nsPerBlock / 1000, bypassPerEvent, perOut / bypassPerEvent);
    }

    const auto perEvent = [] (const std::string& key, int n) { return results[key].nsPerBlock / n; };
    const auto& worst = results["worst"];
    const auto& distinct = results["harmonizing 1024"];
    const double budget = blockSize / sampleRate * 1e9;

    std::printf ("\nlinear, harmonizing: per event at 4096 ÷ at 64 = %.2f (goal ≤ 1.5)\n", perEvent ("harmonizing 4096", 4096) / perEvent ("harmonizing 64", 64));
    std::printf ("linear, bypassed:    per event at 4096 ÷ at 64 = %.2f (goal ≤ 1.5)\n", perEvent ("bypassed 4096", 4096) / perEvent ("bypassed 64", 64));
    std::printf ("worst case (1024 strikes of one chord key, melody held): %.1f µs a block, %.0f events out; per event out ÷ the 1024-event block's = %.2f (goal ≤ 2), in all %.2f × that block (goal ≤ 20)\n",
                 worst.nsPerBlock / 1000, worst.outEventsPerBlock,
                 (worst.nsPerBlock / worst.outEventsPerBlock) / (distinct.nsPerBlock / distinct.outEventsPerBlock),
                 worst.nsPerBlock / distinct.nsPerBlock);
    std::printf ("1024-event block: %.3f of its real-time budget at 48 kHz (%.0f µs; goal < 0.05)\n", distinct.nsPerBlock / budget, budget / 1000);
    std::printf ("1024-event block by harmony type:");
    for (int type = 0; type <= 6; ++type)
        std::printf (" %s %.1f µs%s", Settings::harmonyTypeNames[type], results["type " + std::to_string (type)].nsPerBlock / 1000, type < 6 ? "," : " (goal: each < 0.05 of the budget)\n");

    const auto& o10 = results["overload 10000"];
    const auto& o20 = results["overload 20000"];
    std::printf ("overload, one block of strikes all over the keyboard: 10 000 events %.2f ms, 20 000 events %.2f ms: %.2f × for 2 × the events (goal ≤ 2.5)\n",
                 o10.nsPerBlock / 1e6, o20.nsPerBlock / 1e6, o20.nsPerBlock / o10.nsPerBlock);
    const auto& c64 = results["vst3 controllers 64"];
    const auto& c1024 = results["vst3 controllers 1024"];
    std::printf ("VST3 controllers in a block: 64 points %.1f µs, 1 024 points %.1f µs: %.1f × for 16 × the points (goal ≤ 24)\n",
                 c64.nsPerBlock / 1000, c1024.nsPerBlock / 1000, c1024.nsPerBlock / c64.nsPerBlock);
    const auto& q = results["lv2 long queue"];
    const auto& none = results["lv2 no queue"];
    std::printf ("LV2 block sending 2 events: with some 32 000 waiting %.2f µs, with none %.2f µs: %.2f × (goal ≤ 2)\n",
                 q.nsPerBlock / 1000, none.nsPerBlock / 1000, q.nsPerBlock / none.nsPerBlock);
}
} // namespace

BENCHMARK (performanceBlocks)->ArgNames ({ "events", "bypassed" })->ArgsProduct ({ { 4, 64, 256, 1024, 4096 }, { 0, 1 } });
BENCHMARK (harmonyTypes)->ArgName ("type")->DenseRange (0, 6);
BENCHMARK (worstCase);
BENCHMARK (overloadBlocks)->ArgName ("events")->Arg (10000)->Arg (20000);
BENCHMARK (vst3Controllers)->ArgName ("points")->Arg (64)->Arg (1024);
BENCHMARK (lv2Queue)->ArgName ("long")->Arg (0)->Arg (1)->Iterations (2000); // the long queue loses only 2 a block

int main (int argc, char** argv)
{
    benchmark::Initialize (&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printTable();
    return 0;
}
