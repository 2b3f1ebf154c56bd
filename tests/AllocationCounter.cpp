#include "AllocationCounter.h"

#include <atomic>
#include <cstdlib>

namespace
{
thread_local bool counting = false;
thread_local std::size_t allocations = 0;

inline void noteAllocation()
{
    if (counting)
        ++allocations;
}
} // namespace

#if defined(__has_feature)
 #if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  #define POLYQUINTA_SANITIZED_ALLOCATOR 1
 #endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
 #define POLYQUINTA_SANITIZED_ALLOCATOR 1
#endif

#if POLYQUINTA_SANITIZED_ALLOCATOR
// The sanitizers' runtime offers allocation hooks (declared here, as not every
// compiler ships the header).
extern "C" int __sanitizer_install_malloc_and_free_hooks (void (*) (const volatile void*, std::size_t),
                                                          void (*) (const volatile void*));

namespace
{
void onMalloc (const volatile void*, std::size_t) { noteAllocation(); }
void onFree (const volatile void*) {}

const bool hooksInstalled = [] {
    __sanitizer_install_malloc_and_free_hooks (onMalloc, onFree);
    return true;
}();
} // namespace

#else
// glibc's own entry points, so that the replacements can forward to them.
extern "C"
{
void* __libc_malloc (std::size_t);
void* __libc_calloc (std::size_t, std::size_t);
void* __libc_realloc (void*, std::size_t);
void* __libc_memalign (std::size_t, std::size_t);
void __libc_free (void*);

void* malloc (std::size_t size)
{
    noteAllocation();
    return __libc_malloc (size);
}

void* calloc (std::size_t n, std::size_t size)
{
    noteAllocation();
    return __libc_calloc (n, size);
}

void* realloc (void* p, std::size_t size)
{
    noteAllocation();
    return __libc_realloc (p, size);
}

void* memalign (std::size_t alignment, std::size_t size)
{
    noteAllocation();
    return __libc_memalign (alignment, size);
}

void* aligned_alloc (std::size_t alignment, std::size_t size)
{
    noteAllocation();
    return __libc_memalign (alignment, size);
}

int posix_memalign (void** out, std::size_t alignment, std::size_t size)
{
    noteAllocation();
    *out = __libc_memalign (alignment, size);
    return *out != nullptr ? 0 : 12; // ENOMEM
}

void free (void* p)
{
    __libc_free (p);
}
}
#endif

AllocationCounter::AllocationCounter() : start (allocations)
{
    counting = true;
}

AllocationCounter::~AllocationCounter()
{
    counting = false;
}

std::size_t AllocationCounter::count() const
{
    return allocations - start;
}
