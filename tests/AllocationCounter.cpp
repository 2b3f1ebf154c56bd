#include "AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <cerrno>
#include <cstring>

#if defined(_WIN32)
 #include <windows.h>
#endif

namespace
{
#if defined(_WIN32)
// MinGW's thread_local is emulated and allocates on a thread's first use,
// which would recurse into the counting forwarders: one counting thread at a time.
std::atomic<DWORD> countingThread { 0 };
std::atomic<std::size_t> allocations { 0 };

inline void noteAllocation()
{
    if (countingThread.load (std::memory_order_relaxed) == GetCurrentThreadId())
        ++allocations;
}

void setCounting (bool on) { countingThread = on ? GetCurrentThreadId() : 0; }
#else
thread_local bool counting = false;
thread_local std::size_t allocations = 0;

inline void noteAllocation()
{
    if (counting)
        ++allocations;
}

void setCounting (bool on) { counting = on; }
#endif

#if ! defined(_WIN32)
thread_local std::size_t locksTaken = 0, blockingCallsMade = 0;
#else
std::size_t locksTaken = 0, blockingCallsMade = 0;
#endif

[[maybe_unused]] inline void noteMutexLock()
{
#if ! defined(_WIN32)
    if (counting)
        ++locksTaken;
#endif
}

[[maybe_unused]] inline void noteBlockingCall()
{
#if ! defined(_WIN32)
    if (counting)
        ++blockingCallsMade;
#endif
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

#elif defined(_WIN32)
// Windows has no symbol interposition: the plug-in DLL and the test program
// call the C runtime through their import tables, so the allocation entries
// there are pointed at counting forwarders.
namespace
{
using MallocFn = void*(__cdecl*) (std::size_t);
using CallocFn = void*(__cdecl*) (std::size_t, std::size_t);
using ReallocFn = void*(__cdecl*) (void*, std::size_t);
using StrdupFn = char*(__cdecl*) (const char*);
using HeapAllocFn = LPVOID (WINAPI*) (HANDLE, DWORD, SIZE_T);
using HeapReAllocFn = LPVOID (WINAPI*) (HANDLE, DWORD, LPVOID, SIZE_T);

MallocFn realMalloc;
CallocFn realCalloc;
ReallocFn realRealloc;
StrdupFn realStrdup;
HeapAllocFn realHeapAlloc;
HeapReAllocFn realHeapReAlloc;

// clang-format off
void* __cdecl countingMalloc (std::size_t n) { noteAllocation(); return realMalloc (n); }
void* __cdecl countingCalloc (std::size_t n, std::size_t size) { noteAllocation(); return realCalloc (n, size); }
void* __cdecl countingRealloc (void* p, std::size_t n) { noteAllocation(); return realRealloc (p, n); }
char* __cdecl countingStrdup (const char* s) { noteAllocation(); return realStrdup (s); }
LPVOID WINAPI countingHeapAlloc (HANDLE h, DWORD f, SIZE_T n) { noteAllocation(); return realHeapAlloc (h, f, n); }
LPVOID WINAPI countingHeapReAlloc (HANDLE h, DWORD f, LPVOID p, SIZE_T n) { noteAllocation(); return realHeapReAlloc (h, f, p, n); }
// clang-format on

void* replacementFor (const char* name)
{
    struct Entry
    {
        const char* name;
        void* function;
    };
    static const Entry entries[] = {
        { "malloc", (void*) countingMalloc },
        { "calloc", (void*) countingCalloc },
        { "realloc", (void*) countingRealloc },
        { "_strdup", (void*) countingStrdup },
        { "HeapAlloc", (void*) countingHeapAlloc },
        { "HeapReAlloc", (void*) countingHeapReAlloc },
    };

    for (auto& e : entries)
        if (std::strcmp (e.name, name) == 0)
            return e.function;

    return nullptr;
}

void patchImports (HMODULE module)
{
    if (module == nullptr)
        return;

    auto* base = reinterpret_cast<unsigned char*> (module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*> (base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*> (base + dos->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];

    if (dir.VirtualAddress == 0)
        return;

    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*> (base + dir.VirtualAddress); d->Name != 0; ++d)
    {
        if (d->OriginalFirstThunk == 0)
            continue;

        auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*> (base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*> (base + d->FirstThunk);

        for (; names->u1.AddressOfData != 0; ++names, ++slots)
        {
            if (IMAGE_SNAP_BY_ORDINAL (names->u1.Ordinal))
                continue;

            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*> (base + names->u1.AddressOfData);

            if (auto* replacement = replacementFor ((const char*) byName->Name))
            {
                DWORD old = 0;
                VirtualProtect (&slots->u1.Function, sizeof (slots->u1.Function), PAGE_READWRITE, &old);
                slots->u1.Function = (ULONG_PTR) replacement;
                VirtualProtect (&slots->u1.Function, sizeof (slots->u1.Function), old, &old);
            }
        }
    }
}

void patchLoadedModules()
{
    static bool initialised = false;

    if (! initialised)
    {
        initialised = true;
        const auto crt = GetModuleHandleA ("msvcrt.dll");
        const auto kernel = GetModuleHandleA ("kernel32.dll");
        realMalloc = (MallocFn) (void*) GetProcAddress (crt, "malloc");
        realCalloc = (CallocFn) (void*) GetProcAddress (crt, "calloc");
        realRealloc = (ReallocFn) (void*) GetProcAddress (crt, "realloc");
        realStrdup = (StrdupFn) (void*) GetProcAddress (crt, "_strdup");
        realHeapAlloc = (HeapAllocFn) (void*) GetProcAddress (kernel, "HeapAlloc");
        realHeapReAlloc = (HeapReAllocFn) (void*) GetProcAddress (kernel, "HeapReAlloc");
        patchImports (GetModuleHandleA (nullptr));
    }

    // The plug-in is loaded later than the program starts, and may be loaded
    // again: patch it whenever a count begins (patching twice is harmless).
    patchImports (GetModuleHandleA ("Polyquinta.dll"));
}
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

// The C library's own blocking calls, found before main while the program has one thread.
 #define POLYQUINTA_REAL(name, ...) decltype (&::name) name = next<decltype (&::name)> (#name, ##__VA_ARGS__)
struct RealCalls
{
    POLYQUINTA_REAL (pthread_mutex_lock);
    POLYQUINTA_REAL (pthread_mutex_trylock);
    POLYQUINTA_REAL (pthread_cond_wait, "GLIBC_2.3.2");
    POLYQUINTA_REAL (pthread_cond_timedwait, "GLIBC_2.3.2");
    POLYQUINTA_REAL (pthread_cond_signal, "GLIBC_2.3.2");
    POLYQUINTA_REAL (pthread_cond_broadcast, "GLIBC_2.3.2");
    POLYQUINTA_REAL (sem_wait);
    POLYQUINTA_REAL (sem_timedwait);
    POLYQUINTA_REAL (sem_post);
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
#if defined(_WIN32) && ! POLYQUINTA_SANITIZED_ALLOCATOR
    patchLoadedModules();
#endif
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
#if defined(_WIN32) || POLYQUINTA_SANITIZED_ALLOCATOR
    return false;
#else
    return true;
#endif
}
