// The editor inside the host's window: opening, idling, resizing and closing
// it. Message thread only (each entry checks); may allocate and block.

#include "JuceVSTWrapper.h"

#include "FrameworkSession.h"
#include "HostDetection.h"
#include "NativeWindows.h"

namespace
{
// Per thread: they only keep one thread's own callbacks from nesting.
thread_local bool inAdapterCallback = false;
thread_local bool inIdleWork = false;
// Atomic: the message thread may move between host threads.
std::atomic<juce::uint32> lastHostIdleTime { 0 };
std::atomic<bool> messageThreadConfirmed { false };

struct MessageThreadCallback : public juce::MessageManager::MessageBase
{
    void messageCallback() override { messageThreadConfirmed = true; }
};

/** Keeps the adapter's own idle, timer and host-idle work from nesting. */
struct AdapterCallbackScope
{
    AdapterCallbackScope() : previous (inAdapterCallback) { inAdapterCallback = true; }
    ~AdapterCallbackScope() { inAdapterCallback = previous; }
    const bool previous;
};
} // namespace

intptr_t JuceVSTWrapper::editorRequest (int32_t opcode, void* ptr)
{
    if (opcode == effEditIdle)
    {
        runIdleWork();
        return 0;
    }

    // Without a parent window there is nothing to show the editor in.
    if (opcode == effEditOpen && ptr == nullptr)
        return 0;

    checkWhetherMessageThreadIsCorrect();
    const juce::MessageManagerLock lock;

    switch (opcode)
    {
        case effEditGetRect:
            createEditorWrapper();

            if (editorWrapper == nullptr || ptr == nullptr)
                return 0;

            editorRect = { 0, 0, (int16_t) editorWrapper->getHeight(), (int16_t) editorWrapper->getWidth() };
            *static_cast<ERect**> (ptr) = &editorRect;
            return (intptr_t) &editorRect;

        case effEditOpen:
            startTimer (250);
            deleteEditorWrapper (true);
            createEditorWrapper();

            if (editorWrapper == nullptr)
                return 0;

            editorWrapper->setOpaque (true);
            editorWrapper->setVisible (false);
            editorWrapper->addToDesktop (0, ptr);
            editorWrapper->setVisible (true);
            return 1;

        case effEditClose:
            deleteEditorWrapper (true);
            return 0;

        default:
            return 0;
    }
}

void JuceVSTWrapper::createEditorWrapper()
{
    JUCE_ASSERT_MESSAGE_THREAD
    if (isShutDown || processor == nullptr)
        return;

    if (editorWrapper == nullptr)
    {
        if (auto* editor = processor->createEditorIfNeeded())
        {
            setFlag (effFlagsHasEditor, true);
            editor->setOpaque (true);
            editor->setVisible (true);
            editorWrapper = std::make_unique<EditorCompWrapper> (
                EditorHostCalls { [this] { nudgeHostIdle(); }, [this] (int w, int h) { fitHostWindow (w, h); } }, editor);
        }
        else
        {
            setFlag (effFlagsHasEditor, false);
        }
    }

    editorDeletePending = false;
}

void JuceVSTWrapper::deleteEditorWrapper (bool deferIfModal)
{
    juce::PopupMenu::dismissAllActiveMenus();
    const AdapterCallbackScope scope;

    if (editorWrapper == nullptr)
        return;

    if (auto* modal = juce::Component::getCurrentlyModalComponent())
    {
        modal->exitModalState (0);

        // The modal window goes first; the timer deletes the editor afterwards.
        if (deferIfModal)
        {
            editorDeletePending = true;
            return;
        }
    }

    if (processor != nullptr)
        if (auto* editor = editorWrapper->getEditor())
            processor->editorBeingDeleted (editor);

    editorWrapper = nullptr;
}

void JuceVSTWrapper::runIdleWork()
{
    // Some hosts idle from other threads; only the message thread does the work.
    if (! juce::MessageManager::existsAndIsCurrentThread() || inAdapterCallback || inIdleWork)
        return;

    inIdleWork = true;

#if ! defined(_WIN32)
    // Linux hosts drive the user interface through idle calls: deliver the
    // framework's pending messages (timers, change messages, window events).
    // The adapter's own timer runs here too, so this is not counted as an
    // adapter callback, or the timer could never free a fetched chunk.
    deliverPendingMessages (editorWrapper != nullptr ? editorWrapper->getWindowHandle() : nullptr);
#endif

    {
        const AdapterCallbackScope scope;

#if defined(_WIN32)
        // The host's own message loop delivers everything else; due timers
        // run now (and their delivery is re-armed if the timer thread died).
        juce::Timer::callPendingTimersSynchronously();
#endif

        for (int i = juce::ComponentPeer::getNumPeers(); --i >= 0;)
            juce::ComponentPeer::getPeer (i)->performAnyPendingRepaintsNow();
    }

    inIdleWork = false;
}

void JuceVSTWrapper::checkWhetherMessageThreadIsCorrect()
{
    auto* messageManager = juce::MessageManager::getInstance();
    const bool hostNeedsIt = HostDetection::needsMessageThreadCorrection (HostDetection::detectHostType());

#if defined(_WIN32)
    const bool fromForeignThread = false;
#else
    // Linux hosts send editor requests from a user-interface thread of their
    // own: that thread becomes the message thread.
    const bool fromForeignThread = ! messageManager->isThisTheMessageThread();
#endif

    if ((hostNeedsIt && ! messageThreadConfirmed) || fromForeignThread)
    {
        if (! messageManager->isThisTheMessageThread())
            messageManager->setCurrentThreadAsMessageThread();

        if (hostNeedsIt)
            (new MessageThreadCallback())->post();
    }
}

void JuceVSTWrapper::nudgeHostIdle()
{
    if (! juce::ModifierKeys::getCurrentModifiersRealtime().isAnyMouseButtonDown() || inAdapterCallback)
        return;

    const auto now = juce::Time::getMillisecondCounter();

    if (now > lastHostIdleTime.load() + 20 && editorWrapper != nullptr)
    {
        lastHostIdleTime = now;
        const AdapterCallbackScope scope;
        callHost (audioMasterIdle);
    }
}

void JuceVSTWrapper::fitHostWindow (int width, int height)
{
    JUCE_ASSERT_MESSAGE_THREAD
    if (editorWrapper == nullptr)
        return;

    bool done = false;

    if (callHost (audioMasterCanDo, 0, 0, const_cast<char*> ("sizeWindow")) != 0)
        done = callHost (audioMasterSizeWindow, width, height) != 0;

    if (! done)
        NativeWindows::fitHostWindows (editorWrapper->getWindowHandle(), width, height);

    auto* peer = editorWrapper->getPeer();

    if (peer == nullptr && editorWrapper->getParentComponent() != nullptr)
        peer = editorWrapper->getParentComponent()->getPeer();

    if (peer != nullptr)
        peer->handleMovedOrResized();
}

void JuceVSTWrapper::timerCallback()
{
    if (editorDeletePending)
    {
        editorDeletePending = false;
        deleteEditorWrapper (true);
    }

    {
        const juce::ScopedLock sl (stateChunkLock);

        if (stateChunkTime != 0 && stateChunkTime < juce::Time::getApproximateMillisecondCounter() - 2000 && ! inAdapterCallback)
        {
            stateChunkTime = 0;
            stateChunk.reset();
        }
    }

    nudgeHostIdle();
}

void JuceVSTWrapper::endEditorHostingSession()
{
    NativeWindows::shutdown();
    messageThreadConfirmed = false;
}
