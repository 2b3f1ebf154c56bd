#pragma once

// The LV2 UI: the processor's editor inside the host's X11 window, reaching
// the processor through instance access. The host's user-interface thread
// only (it becomes the framework's message thread); may allocate and block.

#include <lv2/ui/ui.h>

namespace juce
{
class AudioProcessorEditor;
}

namespace Lv2
{
class Plugin;

class Editor
{
public:
    /** Null without a parent window or the plug-in instance. */
    static Editor* create (const LV2_Feature* const* features);
    ~Editor();

    LV2UI_Widget getWidget() const noexcept;

    /** The host's idle call: the editor's messages, window events and repaints. */
    void idle();

    /** The plug-in instance is freed before its editor: the editor goes first. */
    void instanceIsGoing();

private:
    explicit Editor (Plugin& instance);
    void close();

    Plugin* instance;
    juce::AudioProcessorEditor* editor = nullptr;
};
} // namespace Lv2
