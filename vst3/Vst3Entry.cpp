// The module's way in: the plug-in factory hosts ask for, around the
// framework's own (FrameworkWrapper.cpp), so that every component and every
// controller a host makes comes guarded; and the processor the framework's
// wrapper runs.
// Hosts call the factory from their user-interface thread.

#include "GuardedComponent.h"
#include "GuardedController.h"
#include "Vst3Processor.h"

#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>

#include <cstring>

extern "C" Steinberg::IPluginFactory* PLUGIN_API frameworkPluginFactory();

namespace
{
using namespace Steinberg;

// The processor the framework made last on this thread: it makes one with
// each component, inside the factory call that makes the component.
thread_local Vst3Processor* processorJustMade = nullptr;

class GuardedFactory final : public IPluginFactory3
{
public:
    explicit GuardedFactory (IPluginFactory* frameworkFactory) : framework (frameworkFactory, false) {}
    ~GuardedFactory() { instance = nullptr; }

    static GuardedFactory* instance;

    tresult PLUGIN_API queryInterface (const TUID wanted, void** obj) override
    {
        QUERY_INTERFACE (wanted, obj, FUnknown::iid, IPluginFactory3)
        QUERY_INTERFACE (wanted, obj, IPluginFactory::iid, IPluginFactory3)
        QUERY_INTERFACE (wanted, obj, IPluginFactory2::iid, IPluginFactory3)
        QUERY_INTERFACE (wanted, obj, IPluginFactory3::iid, IPluginFactory3)
        *obj = nullptr;
        return kNoInterface;
    }

    uint32 PLUGIN_API addRef() override { return ++references; }
    uint32 PLUGIN_API release() override
    {
        const auto left = --references;
        if (left == 0)
            delete this;
        return left;
    }

    tresult PLUGIN_API getFactoryInfo (PFactoryInfo* info) override { return framework->getFactoryInfo (info); }
    int32 PLUGIN_API countClasses() override { return framework->countClasses(); }
    tresult PLUGIN_API getClassInfo (int32 index, PClassInfo* info) override { return framework->getClassInfo (index, info); }
    tresult PLUGIN_API getClassInfo2 (int32 index, PClassInfo2* info) override { return framework2 ? framework2->getClassInfo2 (index, info) : kNotImplemented; }
    tresult PLUGIN_API getClassInfoUnicode (int32 index, PClassInfoW* info) override { return framework3 ? framework3->getClassInfoUnicode (index, info) : kNotImplemented; }
    tresult PLUGIN_API setHostContext (FUnknown* context) override { return framework3 ? framework3->setHostContext (context) : kNotImplemented; }

    tresult PLUGIN_API createInstance (FIDString cid, FIDString wanted, void** obj) override
    {
        if (obj == nullptr)
            return kInvalidArgument;

        *obj = nullptr;

        if (isClass (cid, kVstComponentControllerClass))
            return guarded (cid, wanted, obj, [] (FUnknown* controller) { return new Vst3::GuardedController (controller); });

        if (! isClass (cid, kVstAudioEffectClass))
            return framework->createInstance (cid, wanted, obj);

        processorJustMade = nullptr;
        FUnknown* component = nullptr;

        if (framework->createInstance (cid, FUnknown::iid, (void**) &component) != kResultOk || component == nullptr)
            return kResultFalse;

        if (processorJustMade == nullptr)
        {
            component->release();
            return kResultFalse;
        }

        return hand (new Vst3::GuardedComponent (component, *processorJustMade), wanted, obj);
    }

private:
    bool isClass (FIDString cid, const char* category)
    {
        PClassInfo info {};
        for (int32 i = 0; cid != nullptr && i < framework->countClasses(); ++i)
            if (framework->getClassInfo (i, &info) == kResultOk && std::strcmp (info.category, category) == 0
                && FUnknownPrivate::iidEqual (info.cid, cid))
                return true;
        return false;
    }

    template <typename Guard>
    tresult guarded (FIDString cid, FIDString wanted, void** obj, Guard&& makeGuard)
    {
        FUnknown* made = nullptr;

        if (framework->createInstance (cid, FUnknown::iid, (void**) &made) != kResultOk || made == nullptr)
            return kResultFalse;

        return hand (makeGuard (made), wanted, obj);
    }

    /** The guard's interface the host asked for, the guard's own reference given up. */
    template <typename Guard>
    static tresult hand (Guard* guard, FIDString wanted, void** obj)
    {
        const auto result = guard->queryInterface (wanted, obj);
        guard->release();
        return result;
    }

    std::atomic<uint32> references { 1 };
    IPtr<IPluginFactory> framework;
    FUnknownPtr<IPluginFactory2> framework2 { framework };
    FUnknownPtr<IPluginFactory3> framework3 { framework };
};

GuardedFactory* GuardedFactory::instance = nullptr;
} // namespace

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    auto* processor = new Vst3Processor();
    processorJustMade = processor;
    return processor;
}

// One factory while hosts hold it, as the framework keeps one of its own.
extern "C" SMTG_EXPORT_SYMBOL IPluginFactory* PLUGIN_API GetPluginFactory()
{
    if (GuardedFactory::instance != nullptr)
    {
        GuardedFactory::instance->addRef();
        return GuardedFactory::instance;
    }

    auto* framework = frameworkPluginFactory();

    if (framework == nullptr)
        return nullptr;

    GuardedFactory::instance = new GuardedFactory (framework);
    return GuardedFactory::instance;
}
