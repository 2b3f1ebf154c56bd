// The library's one way in. Hosts call it from any thread; it blocks on the
// lifecycle lock and allocates the adapter.

#include "FrameworkSession.h"
#include "JuceVSTWrapper.h"
#include "myAudioProcessorEditor.h"

#include <memory>

#if defined(_WIN32)
 #include <windows.h>
 #define POLYQUINTA_EXPORT __declspec(dllexport)
#else
 #define POLYQUINTA_EXPORT __attribute__ ((visibility ("default")))
#endif

extern "C" POLYQUINTA_EXPORT AEffect* VSTPluginMain (audioMasterCallback audioMaster);

extern "C" POLYQUINTA_EXPORT AEffect* VSTPluginMain (audioMasterCallback audioMaster)
{
    try
    {
        const std::lock_guard<std::recursive_mutex> lock (adapterLifecycleLock());

        startFrameworkUserInterface();

        if (audioMaster == nullptr || audioMaster (nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
            return nullptr;

        // The processor learns it runs under VST while, and only while, it is made.
        struct WrapperTypeScope
        {
            WrapperTypeScope() { juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_VST); }
            ~WrapperTypeScope() { juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined); }
        };

        auto processor = [] { const WrapperTypeScope vst; return std::make_unique<myAudioProcessor> (&myAudioProcessorEditor::create); }();
        auto* wrapper = new JuceVSTWrapper (audioMaster, std::move (processor));
        return wrapper->getAeffect();
    }
    catch (...)
    {
        return nullptr;
    }
}

#if defined(_WIN32)
// The framework registers its window classes, and the wheel hook is installed,
// with this library's module handle rather than the host executable's.
extern "C" BOOL WINAPI DllMain (HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        juce::Process::setCurrentModuleInstanceHandle (instance);

    return TRUE;
}
#endif
