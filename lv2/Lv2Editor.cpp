#include "Lv2Editor.h"

#include "FrameworkSession.h"
#include "Lv2Plugin.h"

#include <lv2/core/lv2_util.h>
#include <lv2/instance-access/instance-access.h>

namespace Lv2
{
namespace
{

/** Hosts call the UI from a thread of their own: that thread becomes the
    framework's message thread, as it does for the VST editor on Linux. */
void adoptMessageThread()
{
    if (auto* messageManager = juce::MessageManager::getInstance(); ! messageManager->isThisTheMessageThread())
        messageManager->setCurrentThreadAsMessageThread();
}
} // namespace

Editor* Editor::create (const LV2_Feature* const* features)
{
    auto* parent = lv2_features_data (features, LV2_UI__parent);
    auto* instance = static_cast<Plugin*> (lv2_features_data (features, LV2_INSTANCE_ACCESS_URI));

    if (parent == nullptr || instance == nullptr || instance->editor != nullptr)
        return nullptr;

    const std::lock_guard<std::recursive_mutex> lock (adapterLifecycleLock());
    adoptMessageThread();

    auto* result = new Editor (*instance);

    if (result->editor == nullptr)
    {
        delete result;
        return nullptr;
    }

    result->editor->setOpaque (true);
    result->editor->addToDesktop (0, parent);
    result->editor->setVisible (true);

    // The host's window takes the editor's fixed size where it lets us say so.
    if (const auto* resize = static_cast<const LV2UI_Resize*> (lv2_features_data (features, LV2_UI__resize)))
        resize->ui_resize (resize->handle, result->editor->getWidth(), result->editor->getHeight());

    return result;
}

Editor::Editor (Plugin& plugin) : instance (&plugin)
{
    JUCE_ASSERT_MESSAGE_THREAD
    editor = plugin.getProcessor().createEditorIfNeeded();

    if (editor != nullptr)
        plugin.editor = this;
}

Editor::~Editor()
{
    const std::lock_guard<std::recursive_mutex> lock (adapterLifecycleLock());
    close();
}

LV2UI_Widget Editor::getWidget() const noexcept
{
    return editor != nullptr ? (LV2UI_Widget) editor->getWindowHandle() : nullptr;
}

void Editor::idle()
{
    if (editor == nullptr || ! juce::MessageManager::existsAndIsCurrentThread())
        return;

    deliverPendingMessages (editor->getWindowHandle());

    for (int i = juce::ComponentPeer::getNumPeers(); --i >= 0;)
        juce::ComponentPeer::getPeer (i)->performAnyPendingRepaintsNow();
}

void Editor::instanceIsGoing()
{
    close();
    instance = nullptr;
}

void Editor::close()
{
    if (editor == nullptr || instance == nullptr)
        return;

    juce::PopupMenu::dismissAllActiveMenus();

    if (auto* modal = juce::Component::getCurrentlyModalComponent())
        modal->exitModalState (0);

    instance->getProcessor().editorBeingDeleted (editor);
    delete editor;
    editor = nullptr;
    instance->editor = nullptr;
}
} // namespace Lv2
