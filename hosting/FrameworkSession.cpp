#include "FrameworkSession.h"

#include "NativeWindows.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
// Lives from the first entry until the last adapter is gone. Counted, so that
// a process that runs the framework itself (our in-process tests) keeps it.
// Ended only by the last adapter, never by the process's exit: by then the
// framework's own statics (its shut-down list among them) may be gone.
juce::ScopedJuceInitialiser_GUI* frameworkSession = nullptr;
} // namespace

std::recursive_mutex& adapterLifecycleLock()
{
    static std::recursive_mutex lock;
    return lock;
}
void startFrameworkUserInterface()
{
    if (frameworkSession == nullptr)
        frameworkSession = new juce::ScopedJuceInitialiser_GUI();
}

void shutDownFrameworkUserInterface()
{
    delete frameworkSession;
    frameworkSession = nullptr;
}

#if ! defined(_WIN32)
namespace juce
{
// The framework's own step of its Linux message loop.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

void deliverPendingMessages (void* window)
{
    NativeWindows::prodWindowEvents (window);

    // Bounded, so that a message that posts another cannot hold the host's thread.
    for (int i = 0; i < 256 && juce::dispatchNextMessageOnSystemQueue (true); ++i)
    {
    }
}
#endif
