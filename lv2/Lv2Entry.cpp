// The bundle binary's two ways in: the plug-in's descriptor and its UI's.
// Hosts call each function from the thread class LV2 gives it.

#include "Lv2Editor.h"
#include "Lv2Plugin.h"

namespace
{
Lv2::Plugin* asPlugin (LV2_Handle instance) { return static_cast<Lv2::Plugin*> (instance); }
Lv2::Editor* asEditor (LV2UI_Handle ui) { return static_cast<Lv2::Editor*> (ui); }

LV2_Handle instantiate (const LV2_Descriptor*, double sampleRate, const char*, const LV2_Feature* const* features)
{
    try
    {
        return Lv2::Plugin::create (sampleRate, features);
    }
    catch (...)
    {
        return nullptr;
    }
}

LV2_State_Status save (LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle, uint32_t, const LV2_Feature* const*)
{
    return instance != nullptr && store != nullptr ? asPlugin (instance)->save (store, handle) : LV2_STATE_ERR_UNKNOWN;
}

LV2_State_Status restore (LV2_Handle instance, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle, uint32_t, const LV2_Feature* const*)
{
    return instance != nullptr && retrieve != nullptr ? asPlugin (instance)->restore (retrieve, handle) : LV2_STATE_ERR_UNKNOWN;
}

const void* extensionData (const char* uri)
{
    static const LV2_State_Interface state { save, restore };
    return uri != nullptr && std::strcmp (uri, LV2_STATE__interface) == 0 ? &state : nullptr;
}

const LV2_Descriptor pluginDescriptor {
    Lv2::pluginUri,
    instantiate,
    [] (LV2_Handle instance, uint32_t port, void* data) { asPlugin (instance)->connect (port, data); },
    [] (LV2_Handle instance) { asPlugin (instance)->activate(); },
    [] (LV2_Handle instance, uint32_t numSamples) { asPlugin (instance)->run (numSamples); },
    [] (LV2_Handle instance) { asPlugin (instance)->deactivate(); },
    [] (LV2_Handle instance) { delete asPlugin (instance); },
    extensionData
};

//==============================================================================
LV2UI_Handle instantiateUi (const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function, LV2UI_Controller,
                            LV2UI_Widget* widget, const LV2_Feature* const* features)
{
    try
    {
        auto* ui = Lv2::Editor::create (features);

        if (ui != nullptr && widget != nullptr)
            *widget = ui->getWidget();

        return ui;
    }
    catch (...)
    {
        return nullptr;
    }
}

int idle (LV2UI_Handle ui)
{
    asEditor (ui)->idle();
    return 0; // 1 would tell the host the UI was closed
}

const void* uiExtensionData (const char* uri)
{
    static const LV2UI_Idle_Interface idleInterface { idle };
    return uri != nullptr && std::strcmp (uri, LV2_UI__idleInterface) == 0 ? &idleInterface : nullptr;
}

const LV2UI_Descriptor uiDescriptor {
    Lv2::uiUri,
    instantiateUi,
    [] (LV2UI_Handle ui) { delete asEditor (ui); },
    [] (LV2UI_Handle, uint32_t, uint32_t, uint32_t, const void*) {}, // the editor reads the processor itself
    uiExtensionData
};
} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor (uint32_t index)
{
    return index == 0 ? &pluginDescriptor : nullptr;
}

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor (uint32_t index)
{
    return index == 0 ? &uiDescriptor : nullptr;
}
