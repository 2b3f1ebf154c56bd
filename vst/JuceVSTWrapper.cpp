#include "JuceVSTWrapper.h"

#include "HostDetection.h"
#include "NativeWindows.h"
#include "VstText.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#if defined(_WIN32)
 #include <windows.h>
#else
 #include <pthread.h>
 #include <sched.h>
 #include <sys/resource.h>
 #include <sys/syscall.h>
 #include <unistd.h>
#endif

#if ! defined(_WIN32)
namespace juce
{
// The framework's own step of its Linux message loop.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce
#endif

namespace
{
// Shared by every adapter in the process. Hosts load and close instances from
// several threads: the list changes under adapterLifecycleLock(), together
// with the framework's start and shut-down that depend on it.
std::vector<JuceVSTWrapper*> activeWrappers;
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

std::recursive_mutex& adapterLifecycleLock()
{
    static std::recursive_mutex lock;
    return lock;
}

size_t JuceVSTWrapper::getNumActiveWrappers()
{
    const std::lock_guard<std::recursive_mutex> lock (adapterLifecycleLock());
    return activeWrappers.size();
}

bool callingThreadHasNormalPriority()
{
#if defined(_WIN32)
    const auto priority = GetThreadPriority (GetCurrentThread());
    return priority <= THREAD_PRIORITY_NORMAL && priority >= THREAD_PRIORITY_LOWEST;
#else
    int policy = 0;
    sched_param param {};

    if (pthread_getschedparam (pthread_self(), &policy, &param) != 0)
        return false;

    if (policy != SCHED_OTHER && policy != SCHED_BATCH)
        return false; // a real-time (or idle) thread

    errno = 0;
    const int nice = getpriority (PRIO_PROCESS, (id_t) syscall (SYS_gettid));
    return errno == 0 && nice >= 0;
#endif
}

//==============================================================================
JuceVSTWrapper::JuceVSTWrapper (audioMasterCallback master, std::unique_ptr<myAudioProcessor> p)
    : AudioEffectX (master, p->getNumPrograms(), p->getNumParameters()),
      processor (std::move (p))
{
    allocateBlockStorage();
    processor->setPlayConfigDetails (inputChannelCount, outputChannelCount, 0.0, 0);
    processor->setPlayHead (this);
    processor->addListener (this);

    cEffect.version = 100;
    cEffect.uniqueID = vst::fourCharCode ('P', 'q', 'z', 't');
    cEffect.numInputs = inputChannelCount;
    cEffect.numOutputs = outputChannelCount;
    setFlag (effFlagsIsSynth, false);
    setFlag (effFlagsHasEditor, true);
    setFlag (effFlagsCanReplacing, true);
    setFlag (effFlagsNoSoundInStop, processor->getTailLengthSeconds() <= 0.0);
    cEffect.initialDelay = processor->getLatencySamples();
    setFlag (effFlagsProgramChunks, true);

    const std::lock_guard<std::recursive_mutex> lock (adapterLifecycleLock());
    activeWrappers.push_back (this);
}

JuceVSTWrapper::~JuceVSTWrapper()
{
    stopTimer();
    deleteEditorWrapper (false);
    editorWrapper.reset();
    isShutDown = true;

    processor.reset();

    const std::lock_guard<std::recursive_mutex> lock (adapterLifecycleLock());
    activeWrappers.erase (std::remove (activeWrappers.begin(), activeWrappers.end(), this), activeWrappers.end());
    if (activeWrappers.empty())
    {
        shutDownFrameworkUserInterface();
        NativeWindows::shutdown();
        messageThreadConfirmed = false;
    }
}

//==============================================================================
intptr_t JuceVSTWrapper::dispatcher (int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    if (isShutDown)
        return 0;

    switch (opcode)
    {
        case effEditGetRect:
        case effEditOpen:
        case effEditClose:
        case effEditIdle:
            return handleEditorRequest (opcode, ptr);

        default:
            return AudioEffectX::dispatcher (opcode, index, value, ptr, opt);
    }
}

void JuceVSTWrapper::open()
{
    setFlag (effFlagsHasEditor, processor != nullptr && processor->hasEditor());
}

void JuceVSTWrapper::close()
{
    stopTimer();

    if (juce::MessageManager::existsAndIsCurrentThread())
        deleteEditorWrapper (false);
}

void JuceVSTWrapper::setProgram (int32_t index)
{
    if (processor != nullptr)
        processor->setCurrentProgram (index);
}

int32_t JuceVSTWrapper::getProgram()
{
    return processor != nullptr ? processor->getCurrentProgram() : 0;
}

void JuceVSTWrapper::setProgramName (const char* name)
{
    if (processor != nullptr && name != nullptr)
        processor->changeProgramName (processor->getCurrentProgram(), juce::String::fromUTF8 (name));
}

void JuceVSTWrapper::getProgramName (char* name)
{
    if (processor != nullptr)
        VstText::copy (processor->getProgramName (processor->getCurrentProgram()), name, 24);
}

void JuceVSTWrapper::getParameterLabel (int32_t, char* label)
{
    VstText::copy ({}, label, 8);
}

void JuceVSTWrapper::getParameterDisplay (int32_t index, char* text)
{
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    if (processor != nullptr)
        VstText::copy (processor->getParameterText (index), text, 24);
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE
}

void JuceVSTWrapper::getParameterName (int32_t index, char* text)
{
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    if (processor != nullptr)
        VstText::copy (processor->getParameterName (index), text, 16);
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE
}

int32_t JuceVSTWrapper::getChunk (void** data, bool isPreset)
{
    if (processor == nullptr || data == nullptr)
        return 0;

    const juce::ScopedLock sl (stateChunkLock);
    stateChunk.reset();

    if (isPreset)
        processor->getCurrentProgramStateInformation (stateChunk);
    else
        processor->getStateInformation (stateChunk);

    *data = stateChunk.getData();
    stateChunkTime = juce::Time::getApproximateMillisecondCounter();
    return (int32_t) stateChunk.getSize();
}

int32_t JuceVSTWrapper::setChunk (void* data, int32_t byteSize, bool isPreset)
{
    if (processor == nullptr)
        return 0;

    {
        const juce::ScopedLock sl (stateChunkLock);
        stateChunk.reset();
        stateChunkTime = 0;
    }

    if (byteSize > 0 && data != nullptr)
    {
        if (isPreset)
            processor->setCurrentProgramStateInformation (data, byteSize);
        else
            processor->setStateInformation (data, byteSize);
    }

    return 0;
}

void JuceVSTWrapper::setParameter (int32_t index, float value)
{
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    if (processor != nullptr)
        processor->setParameter (index, value);
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE
}

float JuceVSTWrapper::getParameter (int32_t index)
{
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    return processor != nullptr ? processor->getParameter (index) : 0.0f;
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE
}

bool JuceVSTWrapper::canParameterBeAutomated (int32_t index)
{
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    return processor != nullptr && processor->isParameterAutomatable (index);
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE
}

bool JuceVSTWrapper::getProgramNameIndexed (int32_t, int32_t index, char* text)
{
    if (processor != nullptr && (uint32_t) index < (uint32_t) processor->getNumPrograms())
    {
        VstText::copy (processor->getProgramName (index), text, 24);
        return true;
    }

    return false;
}

bool JuceVSTWrapper::getInputProperties (int32_t index, VstPinProperties* properties)
{
    return getPinProperties (true, index, properties);
}

bool JuceVSTWrapper::getOutputProperties (int32_t index, VstPinProperties* properties)
{
    return getPinProperties (false, index, properties);
}

bool JuceVSTWrapper::getPinProperties (bool isInput, int32_t index, VstPinProperties* properties)
{
    if (processor == nullptr || properties == nullptr || index < 0 || index >= 2)
        return false;

    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    const auto name = isInput ? processor->getInputChannelName (index) : processor->getOutputChannelName (index);
    const bool stereo = isInput ? processor->isInputChannelStereoPair (index) : processor->isOutputChannelStereoPair (index);
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE

    const auto arrangement = isInput ? inputArrangement : outputArrangement;

    VstText::copy (name, properties->label, 63);
    VstText::copy (name, properties->shortLabel, 7);

    if (arrangement == kSpeakerArrEmpty)
    {
        properties->flags = kVstPinIsActive | (stereo ? kVstPinIsStereo : 0);
        properties->arrangementType = 0;
    }
    else
    {
        properties->flags = kVstPinUseSpeaker;
        properties->arrangementType = arrangement;
    }

    return true;
}

int32_t JuceVSTWrapper::getPlugCategory()
{
    return kPlugCategEffect;
}

bool JuceVSTWrapper::setSpeakerArrangement (VstSpeakerArrangement* inputs, VstSpeakerArrangement* outputs)
{
    if (processor == nullptr || inputs == nullptr || outputs == nullptr)
        return false;

    static constexpr int configurations[][2] = { { 1, 1 }, { 2, 2 } };

    for (int i = (int) std::size (configurations); --i >= 0;)
    {
        if (configurations[i][0] == inputs->numChannels && configurations[i][1] == outputs->numChannels)
        {
            inputArrangement = inputs->type;
            outputArrangement = outputs->type;
            inputChannelCount = inputs->numChannels;
            outputChannelCount = outputs->numChannels;
            processor->setPlayConfigDetails (inputChannelCount, outputChannelCount,
                                             processor->getSampleRate(), processor->getBlockSize());
            inputSpeakerNames = VstText::speakerArrangementName (inputs->type);
            outputSpeakerNames = VstText::speakerArrangementName (outputs->type);
            return true;
        }
    }

    inputSpeakerNames = {};
    outputSpeakerNames = {};
    return false;
}

bool JuceVSTWrapper::getSpeakerArrangement (VstSpeakerArrangement** inputs, VstSpeakerArrangement** outputs)
{
    if (inputs != nullptr)
        *inputs = nullptr;
    if (outputs != nullptr)
        *outputs = nullptr;
    return false;
}

bool JuceVSTWrapper::setBypass (bool shouldBeBypassed)
{
    isBypassed = shouldBeBypassed;
    return true;
}

bool JuceVSTWrapper::getEffectName (char* text)
{
    if (processor == nullptr)
        return false;

    VstText::copy (processor->getName(), text, 64);
    return true;
}

bool JuceVSTWrapper::getVendorString (char* text)
{
    VstText::copy ("Brask Lab", text, 64);
    return true;
}

bool JuceVSTWrapper::getProductString (char* text)
{
    return getEffectName (text);
}

int32_t JuceVSTWrapper::getVendorVersion()
{
    return 100;
}

int32_t JuceVSTWrapper::canDo (const char* text)
{
    if (text == nullptr)
        return 0;

    static constexpr const char* yes[] = { "receiveVstEvents", "receiveVstMidiEvent", "receiveVstMidiEvents",
                                           "sendVstEvents",    "sendVstMidiEvent",    "sendVstMidiEvents",
                                           "receiveVstTimeInfo", "conformsToWindowRules", "bypass" };

    for (auto* capability : yes)
        if (std::strcmp (text, capability) == 0)
            return 1;

    if (std::strcmp (text, "openCloseAnyThread") == 0)
        return -1;

    return 0;
}

int32_t JuceVSTWrapper::getGetTailSize()
{
    return processor != nullptr ? (int32_t) (processor->getTailLengthSeconds() * sampleRate) : 0;
}

//==============================================================================
void JuceVSTWrapper::audioProcessorParameterChanged (juce::AudioProcessor*, int index, float newValue)
{
    callHost (audioMasterAutomate, index, 0, nullptr, newValue);
}

void JuceVSTWrapper::audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&)
{
    if (processor != nullptr)
        cEffect.initialDelay = processor->getLatencySamples();

    callHost (audioMasterIOChanged);
    callHost (audioMasterUpdateDisplay);
}

void JuceVSTWrapper::audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index)
{
    callHost (audioMasterBeginEdit, index);
}

void JuceVSTWrapper::audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index)
{
    callHost (audioMasterEndEdit, index);
}

juce::Optional<juce::AudioPlayHead::PositionInfo> JuceVSTWrapper::getPosition() const
{
    // The processor never asks where the host's transport is.
    return {};
}

//==============================================================================
// The editor inside the host's window.

intptr_t JuceVSTWrapper::handleEditorRequest (int32_t opcode, void* ptr)
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
    if (isShutDown || processor == nullptr)
        return;

    if (editorWrapper == nullptr)
    {
        if (auto* editor = processor->createEditorIfNeeded())
        {
            setFlag (effFlagsHasEditor, true);
            editor->setOpaque (true);
            editor->setVisible (true);
            editorWrapper = std::make_unique<EditorCompWrapper> (*this, editor);
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
    if (editorWrapper != nullptr)
        NativeWindows::prodWindowEvents (editorWrapper->getWindowHandle());

    for (int i = 0; i < 256 && juce::dispatchNextMessageOnSystemQueue (true); ++i)
    {
    }
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
