#pragma once

// One adapter in this process, made through the entry point as a host makes
// it, answered by a host that says what it was asked; and its editor in the
// host's real native windows: a top-level frame with a container inside, as
// hosts nest them. For what the record does not show.

#include "JuceVSTWrapper.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#if defined(_WIN32)
 #include "windows/Win32Windows.h"
#else
 #include "X11HostWindow.h" // after the test framework: X11 defines None
#endif

extern "C" AEffect* VSTPluginMain (audioMasterCallback);

/** What the host answers, and what the plug-in asked of it. */
struct WindowHostAnswers
{
    intptr_t processLevel = 2; // realtime
    bool canSizeWindow = false;
    intptr_t sizeWindowAnswer = 0;
    int sizeWindowCalls = 0, lastWidth = 0, lastHeight = 0;
    int idleCalls = 0;
};

inline WindowHostAnswers answers;

inline intptr_t VSTCALLBACK windowHost (AEffect*, int32_t opcode, int32_t index, intptr_t value, void* ptr, float)
{
    switch (opcode)
    {
        case audioMasterVersion: return 2400;
        case audioMasterGetCurrentProcessLevel: return answers.processLevel;
        case audioMasterCanDo: return ptr != nullptr && std::strcmp (static_cast<const char*> (ptr), "sizeWindow") == 0 && answers.canSizeWindow;
        case audioMasterSizeWindow:
            ++answers.sizeWindowCalls;
            answers.lastWidth = index;
            answers.lastHeight = (int) value;
            return answers.sizeWindowAnswer;
        case audioMasterIdle:
            ++answers.idleCalls;
            return 0;
        default: return 0;
    }
}

struct InProcessAdapter
{
    InProcessAdapter() : effect (VSTPluginMain (windowHost)) {}

    ~InProcessAdapter()
    {
        if (effect != nullptr)
            dispatch (effClose);
    }

    intptr_t dispatch (int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f)
    {
        return effect->dispatcher (effect, opcode, index, value, ptr, opt);
    }

    JuceVSTWrapper& wrapper() { return *static_cast<JuceVSTWrapper*> (static_cast<AudioEffect*> (effect->object)); }
    myAudioProcessor& processor() { return *wrapper().getProcessor(); }

    AEffect* effect;
};

#if defined(_WIN32)
using HostWindows = win32::HostWindows;

inline std::pair<int, int> sizeOf (const HostWindows&, HWND w) { return win32::outerSize (w); }
inline bool haveDisplay() { return true; }
#else
struct HostWindows
{
    Window editorWindow() const
    {
        const auto kids = host.children (container);
        return kids.empty() ? 0 : kids.front();
    }

    HostWindow host { 0, 1016, 290 };
    Window frame = host.window, container = host.addContainer (10, 30, 996, 250);
};

inline std::pair<int, int> sizeOf (const HostWindows& windows, Window w) { return windows.host.sizeOf (w); }
#endif

/** The adapter with its editor open in the host's container window. */
struct OpenEditor : InProcessAdapter
{
    OpenEditor()
    {
        dispatch (effEditOpen, 0, 0, (void*) (uintptr_t) windows.container);
        idle (100);
    }

    ~OpenEditor()
    {
        dispatch (effClose); // before the host's windows go
        effect = nullptr;
    }

    /** The host's message loop, idling the editor regularly. */
    void idle (int milliseconds)
    {
#if defined(_WIN32)
        win32::pump (milliseconds, [this] { dispatch (effEditIdle); });
#else
        idleFor (milliseconds, [this] { dispatch (effEditIdle); });
#endif
    }

    juce::Component& editor() { return *wrapper().getEditorWrapper()->getEditor(); }

    HostWindows windows;
};
