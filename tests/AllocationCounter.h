#pragma once

#include <gtest/gtest.h>

#include <cstddef>

/** Counts, on the calling thread while a scope is open, heap allocations and
    the calls that block or enter the kernel: read and write, the mutex,
    condition-variable and semaphore calls, and the sleeps. Allocations are
    counted by replacing malloc and friends in the test binary (or through the
    sanitizers' allocation hooks, when a sanitizer owns the allocator); the
    other calls by replacing them in the test binary, which exports them to
    the plug-in it loads. Where a sanitizer intercepts those calls itself,
    only allocations are counted. Linux: the audio path is the same code on
    every platform, so it is counted once. */
class AllocationCounter
{
public:
    AllocationCounter();
    ~AllocationCounter();

    /** Allocations on this thread since construction. */
    std::size_t count() const;

    /** Mutex locks on this thread since construction. */
    std::size_t mutexLocks() const;

    /** Other blocking or kernel calls on this thread since construction. */
    std::size_t blockingCalls() const;

    /** Whether mutexLocks() and blockingCalls() are counted in this build. */
    static bool countsBlockingCalls();

private:
    std::size_t start, startLocks, startBlocking;
};

/** The audio thread's promise over `numBlocks` blocks, after `warmUp` more:
    `process (i)` allocates nothing and, where counted, takes one lock (the
    processor's callback lock) and makes no other blocking call; `between (i)` is what the host does between blocks,
    not counted. */
template <typename Between, typename Process>
void expectRealtimeBlocks (int warmUp, int numBlocks, Between&& between, Process&& process)
{
    std::size_t allocations = 0, locks = 0, blockingCalls = 0;
    for (int i = -warmUp; i < numBlocks; ++i)
    {
        between (i);
        AllocationCounter counter;
        process (i);
        if (i < 0)
            continue;

        allocations += counter.count();
        locks += counter.mutexLocks();
        blockingCalls += counter.blockingCalls();
    }

    EXPECT_EQ (allocations, 0u);
    if (AllocationCounter::countsBlockingCalls())
    {
        EXPECT_EQ (locks, (std::size_t) numBlocks);
        EXPECT_EQ (blockingCalls, 0u);
    }
}
