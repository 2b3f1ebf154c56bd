#pragma once

// The framework's VST3 edit controller as hosts meet it, guarded at one door:
// the framework calls the host's component handler back from inside the
// host's own calls (restartComponent from setComponentState), and a host
// that holds a lock there waits for itself for ever (Ardour 7.3 loading a
// preset). A restart asked for while the host is inside one of its calls
// into the controller reaches the host afterwards, on the message thread, at
// the next tick of this guard's timer. Everything else reaches the
// framework's controller unchanged, on the thread the host calls it on.

#include <juce_events/juce_events.h>
#include <pluginterfaces/base/smartpointer.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>
#include <pluginterfaces/vst/ivstmessage.h>

#include <atomic>
#include <mutex>

namespace Vst3
{
using namespace Steinberg;

class GuardedController final : public Vst::IEditController,
                                public Vst::IConnectionPoint,
                                private juce::Timer
{
public:
    /** Takes over one reference to the framework's controller. */
    explicit GuardedController (FUnknown* frameworkController);
    ~GuardedController() override;

    tresult PLUGIN_API queryInterface (const TUID wanted, void** obj) override;
    uint32 PLUGIN_API addRef() override { return ++references; }
    uint32 PLUGIN_API release() override;

    tresult PLUGIN_API initialize (FUnknown* context) override;
    tresult PLUGIN_API terminate() override;

    tresult PLUGIN_API setComponentState (IBStream* state) override;
    tresult PLUGIN_API setState (IBStream* state) override;
    tresult PLUGIN_API getState (IBStream* state) override;
    int32 PLUGIN_API getParameterCount() override;
    tresult PLUGIN_API getParameterInfo (int32 index, Vst::ParameterInfo& info) override;
    tresult PLUGIN_API getParamStringByValue (Vst::ParamID id, Vst::ParamValue value, Vst::String128 string) override;
    tresult PLUGIN_API getParamValueByString (Vst::ParamID id, Vst::TChar* string, Vst::ParamValue& value) override;
    Vst::ParamValue PLUGIN_API normalizedParamToPlain (Vst::ParamID id, Vst::ParamValue value) override;
    Vst::ParamValue PLUGIN_API plainParamToNormalized (Vst::ParamID id, Vst::ParamValue plain) override;
    Vst::ParamValue PLUGIN_API getParamNormalized (Vst::ParamID id) override;
    tresult PLUGIN_API setParamNormalized (Vst::ParamID id, Vst::ParamValue value) override;
    tresult PLUGIN_API setComponentHandler (Vst::IComponentHandler* handler) override;
    IPlugView* PLUGIN_API createView (FIDString name) override;

    tresult PLUGIN_API connect (IConnectionPoint* other) override;
    tresult PLUGIN_API disconnect (IConnectionPoint* other) override;
    tresult PLUGIN_API notify (Vst::IMessage* message) override;

private:
    /** The handler the framework gets: the host's, with restarts held back while the host is inside a call. */
    struct Handler final : Vst::IComponentHandler
    {
        explicit Handler (GuardedController& c) : owner (c) {}
        tresult PLUGIN_API queryInterface (const TUID wanted, void** obj) override;
        uint32 PLUGIN_API addRef() override { return 1; } // lives in the guard, which outlives the framework's controller
        uint32 PLUGIN_API release() override { return 1; }
        tresult PLUGIN_API beginEdit (Vst::ParamID id) override;
        tresult PLUGIN_API performEdit (Vst::ParamID id, Vst::ParamValue value) override;
        tresult PLUGIN_API endEdit (Vst::ParamID id) override;
        tresult PLUGIN_API restartComponent (int32 flags) override;
        GuardedController& owner;
    };

    /** A call of the host into the framework's controller. */
    template <typename Call>
    auto hostCall (Call&& call)
    {
        ++hostCallsInside;
        const auto result = call();
        --hostCallsInside;
        return result;
    }

    IPtr<Vst::IComponentHandler> hostHandler();
    void timerCallback() override;

    std::atomic<uint32> references { 1 };
    Handler handler { *this };
    IPtr<FUnknown> framework;
    FUnknownPtr<Vst::IEditController> controller;
    FUnknownPtr<Vst::IConnectionPoint> connection;

    std::mutex handlerLock; // the host's handler, set on its thread, used on the message thread too
    IPtr<Vst::IComponentHandler> host;
    std::atomic<int> hostCallsInside { 0 };
    std::atomic<int32> heldBackRestarts { 0 };
};
} // namespace Vst3
