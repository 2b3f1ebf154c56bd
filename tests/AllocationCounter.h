#pragma once

#include <cstddef>

/** Counts, on the calling thread while a scope is open, heap allocations and
    the calls that block or enter the kernel: read and write, the mutex,
    condition-variable and semaphore calls, and the sleeps. Allocations are
    counted by replacing malloc and friends in the test binary (or through the
    sanitizers' allocation hooks, when a sanitizer owns the allocator); the
    other calls by replacing them in the test binary, which exports them to
    the plug-in it loads. Where a sanitizer intercepts those calls itself, or
    on Windows, only allocations are counted. */
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
