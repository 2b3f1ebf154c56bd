// Per-block cost of the built plug-in, driven through our own host exactly as
// a host drives it, against the same plug-in bypassed (the adapter's floor).

#include "VstHost.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

namespace
{
const vsthost::Library& library()
{
    static vsthost::Library lib (POLYQUINTA_PLUGIN_PATH);
    return lib;
}

/** Blocks of `numEvents` events each: a held chord and a melody moving above
    it, every key released again, so that the blocks can be played in a loop. */
std::vector<vsthost::EventBlock> performance (int blockSize, int numEvents)
{
    std::vector<vsthost::EventBlock> blocks (8);
    int melody = 0;

    for (size_t b = 0; b < blocks.size(); ++b)
    {
        for (int i = 0; i < numEvents; ++i)
        {
            const int t = i * blockSize / std::max (1, numEvents);

            if (i % 2 == 0)
                blocks[b].midi (t, 0x90, (uint8_t) (60 + (melody++ % 24)), 90);
            else
                blocks[b].midi (t, 0x80, (uint8_t) (60 + ((melody - 1) % 24)), 0);
        }

        if (b == 0)
            blocks[b].midi (0, 0x90, 36, 80).midi (0, 0x90, 40, 80).midi (0, 0x90, 43, 80);
        if (b == blocks.size() - 1)
            blocks[b].midi (blockSize - 1, 0x80, 36, 0).midi (blockSize - 1, 0x80, 40, 0).midi (blockSize - 1, 0x80, 43, 0);
    }

    return blocks;
}

void processBlocks (benchmark::State& state)
{
    const int blockSize = (int) state.range (0);
    const int numEvents = (int) state.range (1);

    vsthost::Plugin plugin (library());
    plugin.dispatch (effSetSampleRate, 0, 0, nullptr, 44100.0f);
    plugin.dispatch (effSetBlockSize, 0, blockSize);
    plugin.dispatch (effMainsChanged, 0, 1);

    vsthost::AudioBlock audio (2, blockSize);
    auto blocks = performance (blockSize, numEvents);
    std::vector<VstEvents*> prepared;
    for (auto& b : blocks)
        prepared.push_back (b.get());

    // The blocks form a loop (every key released by its end): keep going round it.
    size_t i = 0;
    auto playBlock = [&]
    {
        plugin.dispatch (effProcessEvents, 0, 0, prepared[i++ % prepared.size()]);
        plugin.processReplacing (audio.inputPointers.data(), audio.outputPointers.data(), blockSize);
    };

    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        playBlock();
    const double active = std::chrono::duration<double, std::nano> (std::chrono::steady_clock::now() - start).count()
                          / (double) state.iterations();

    // The same blocks bypassed: what the adapter costs by itself.
    plugin.dispatch (effSetBypass, 0, 1);
    const auto iterations = std::min<int64_t> (state.iterations(), 200000);
    const auto bypassStart = std::chrono::steady_clock::now();
    for (int64_t n = 0; n < iterations; ++n)
        playBlock();
    const double bypassed = std::chrono::duration<double, std::nano> (std::chrono::steady_clock::now() - bypassStart).count()
                            / (double) iterations;

    state.counters["ns_per_block"] = active;
    state.counters["ns_per_event"] = numEvents > 0 ? active / numEvents : 0.0;
    state.counters["bypass_ns"] = bypassed;
    state.counters["x_bypass"] = active / bypassed;
}
} // namespace

BENCHMARK (processBlocks)
    ->ArgNames ({ "block", "events" })
    ->ArgsProduct ({ { 64, 512 }, { 0, 4, 64 } });

BENCHMARK_MAIN();
