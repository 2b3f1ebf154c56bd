#pragma once

// One adapter in this process, made through the entry point by our own host
// as a host makes it; and its editor in the host's real native windows. For
// what the record does not show.

#include "JuceVSTWrapper.h"
#include "VstHost.h"

#include <gtest/gtest.h>

#include "HostWindows.h" // after the test framework: X11 defines None

extern "C" AEffect* VSTPluginMain (audioMasterCallback);

struct InProcessAdapter
{
    explicit InProcessAdapter (vsthost::HostBehaviour host = {}) : plugin (VSTPluginMain, host) {}

    intptr_t dispatch (int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f)
    {
        return plugin.dispatch (opcode, index, value, ptr, opt);
    }

    JuceVSTWrapper& wrapper() { return *static_cast<JuceVSTWrapper*> (static_cast<AudioEffect*> (plugin.getEffect()->object)); }
    myAudioProcessor& processor() { return *wrapper().getProcessor(); }

    vsthost::Plugin plugin;
};

/** The adapter with its editor open in the host's container window. */
struct OpenEditor : InProcessAdapter
{
    explicit OpenEditor (vsthost::HostBehaviour host = {}) : InProcessAdapter (host)
    {
        dispatch (effEditOpen, 0, 0, (void*) (uintptr_t) windows.container);
        idle (100);
    }

    ~OpenEditor() { plugin.close(); } // before the host's windows go

    /** The host's message loop, idling the editor regularly. */
    void idle (int milliseconds)
    {
        idleFor (milliseconds, [this] { dispatch (effEditIdle); });
    }

    juce::Component& editor() { return *wrapper().getEditorWrapper()->getEditor(); }

    HostWindows windows;
};
