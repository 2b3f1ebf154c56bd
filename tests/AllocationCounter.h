#pragma once

#include <cstddef>

/** Counts heap allocations made by the calling thread while a scope is open.
    Works by replacing malloc and friends in the test binary, or through the
    sanitizers' allocation hooks when a sanitizer owns the allocator. */
class AllocationCounter
{
public:
    AllocationCounter();
    ~AllocationCounter();

    /** Allocations on this thread since construction. */
    std::size_t count() const;

private:
    std::size_t start;
};
