#include "AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <cerrno>
#include <cstring>

namespace
{
thread_local bool counting = false;
thread_local std::size_t allocations = 0, locksTaken = 0, blockingCallsMade = 0;

void setCounting (bool on) { counting = on; }

inline void noteAllocation()
{
    if (counting)
        ++allocations;
}

[[maybe_unused]] inline void noteMutexLock()
{
    if (counting)
        ++locksTaken;
}

[[maybe_unused]] inline void noteBlockingCall()
{
    if (counting)
        ++blockingCallsMade;
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
 #include <dlfcn.h>
 #include <pthread.h>
 #include <semaphore.h>
 #include <sys/syscall.h>
 #include <time.h>
 #include <unistd.h>

// Visible to the plug-in the test host loads, whatever the build's default.
 #define exported extern "C" __attribute__ ((visibility ("default")))

// glibc's own allocator entry points, so that the replacements can forward to them.
extern "C" void* __libc_malloc (std::size_t);
extern "C" void* __libc_calloc (std::size_t, std::size_t);
extern "C" void* __libc_realloc (void*, std::size_t);
extern "C" void* __libc_memalign (std::size_t, std::size_t);
extern "C" void __libc_free (void*);

namespace
{
template <typename Function>
Function next (const char* name, const char* version = nullptr)
{
    void* f = version != nullptr ? dlvsym (RTLD_NEXT, name, version) : nullptr;
    return reinterpret_cast<Function> (f != nullptr ? f : dlsym (RTLD_NEXT, name));
}

// The C library's own blocking calls, found before main while the program has
// one thread: of this symbol version, or the default one.
 #define POLYQUINTA_REAL(name, version) decltype (&::name) name = next<decltype (&::name)> (#name, version)
struct RealCalls
{
    POLYQUINTA_REAL (pthread_mutex_lock, nullptr);
    POLYQUINTA_REAL (pthread_mutex_trylock, nullptr);
    POLYQUINTA_REAL (pthread_cond_wait, "GLIBC_2.3.2");
    POLYQUINTA_REAL (pthread_cond_timedwait, "GLIBC_2.3.2");
    POLYQUINTA_REAL (pthread_cond_signal, "GLIBC_2.3.2");
    POLYQUINTA_REAL (pthread_cond_broadcast, "GLIBC_2.3.2");
    POLYQUINTA_REAL (sem_wait, nullptr);
    POLYQUINTA_REAL (sem_timedwait, nullptr);
    POLYQUINTA_REAL (sem_post, nullptr);
};

const RealCalls& real()
{
    static const RealCalls calls;
    return calls;
}

[[maybe_unused]] const bool realCallsFound = (real(), true);
} // namespace

// clang-format off
exported void* malloc (std::size_t n) { noteAllocation(); return __libc_malloc (n); }
exported void* calloc (std::size_t n, std::size_t size) { noteAllocation(); return __libc_calloc (n, size); }
exported void* realloc (void* p, std::size_t n) { noteAllocation(); return __libc_realloc (p, n); }
exported void* memalign (std::size_t alignment, std::size_t n) { noteAllocation(); return __libc_memalign (alignment, n); }
exported void* aligned_alloc (std::size_t alignment, std::size_t n) { noteAllocation(); return __libc_memalign (alignment, n); }
exported int posix_memalign (void** out, std::size_t alignment, std::size_t n) { noteAllocation(); *out = __libc_memalign (alignment, n); return *out != nullptr ? 0 : ENOMEM; }
exported void free (void* p) { __libc_free (p); }

exported ssize_t read (int fd, void* buffer, size_t n) { noteBlockingCall(); return syscall (SYS_read, fd, buffer, n); }
exported ssize_t write (int fd, const void* buffer, size_t n) { noteBlockingCall(); return syscall (SYS_write, fd, buffer, n); }
exported int nanosleep (const timespec* t, timespec* rest) { noteBlockingCall(); return (int) syscall (SYS_nanosleep, t, rest); }
exported int clock_nanosleep (clockid_t c, int flags, const timespec* t, timespec* rest) { noteBlockingCall(); return syscall (SYS_clock_nanosleep, c, flags, t, rest) == 0 ? 0 : errno; }
exported int usleep (useconds_t us) { noteBlockingCall(); const timespec t { (time_t) (us / 1000000), (long) (us % 1000000) * 1000 }; return (int) syscall (SYS_nanosleep, &t, nullptr); }
exported int sched_yield() { noteBlockingCall(); return (int) syscall (SYS_sched_yield); }

exported int pthread_mutex_lock (pthread_mutex_t* m) { noteMutexLock(); return real().pthread_mutex_lock (m); }
exported int pthread_mutex_trylock (pthread_mutex_t* m) { noteMutexLock(); return real().pthread_mutex_trylock (m); }
exported int pthread_cond_wait (pthread_cond_t* c, pthread_mutex_t* m) { noteBlockingCall(); return real().pthread_cond_wait (c, m); }
exported int pthread_cond_timedwait (pthread_cond_t* c, pthread_mutex_t* m, const timespec* t) { noteBlockingCall(); return real().pthread_cond_timedwait (c, m, t); }
exported int pthread_cond_signal (pthread_cond_t* c) { noteBlockingCall(); return real().pthread_cond_signal (c); }
exported int pthread_cond_broadcast (pthread_cond_t* c) { noteBlockingCall(); return real().pthread_cond_broadcast (c); }
exported int sem_wait (sem_t* s) { noteBlockingCall(); return real().sem_wait (s); }
exported int sem_timedwait (sem_t* s, const timespec* t) { noteBlockingCall(); return real().sem_timedwait (s, t); }
exported int sem_post (sem_t* s) { noteBlockingCall(); return real().sem_post (s); }
// clang-format on
#endif

AllocationCounter::AllocationCounter() : start (allocations), startLocks (locksTaken), startBlocking (blockingCallsMade)
{
    setCounting (true);
}

AllocationCounter::~AllocationCounter()
{
    setCounting (false);
}

std::size_t AllocationCounter::count() const
{
    return allocations - start;
}

std::size_t AllocationCounter::mutexLocks() const
{
    return locksTaken - startLocks;
}

std::size_t AllocationCounter::blockingCalls() const
{
    return blockingCallsMade - startBlocking;
}

bool AllocationCounter::countsBlockingCalls()
{
#if POLYQUINTA_SANITIZED_ALLOCATOR
    return false;
#else
    return true;
#endif
}
