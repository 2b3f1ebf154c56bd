#include "GuardedController.h"

namespace Vst3
{
namespace
{
// Soon after the host's call has returned, to a host's eye at once.
constexpr int restartPollMilliseconds = 10;
} // namespace

GuardedController::GuardedController (FUnknown* frameworkController)
    : framework (frameworkController, false),
      controller (frameworkController),
      connection (frameworkController)
{
}

GuardedController::~GuardedController()
{
    stopTimer();

    // The framework lets go of the handler before the handler goes.
    if (controller)
        controller->setComponentHandler (nullptr);

    connection = nullptr;
    controller = nullptr;
    framework = nullptr;
}

tresult PLUGIN_API GuardedController::queryInterface (const TUID wanted, void** obj)
{
    QUERY_INTERFACE (wanted, obj, FUnknown::iid, Vst::IEditController)
    QUERY_INTERFACE (wanted, obj, IPluginBase::iid, Vst::IEditController)
    QUERY_INTERFACE (wanted, obj, Vst::IEditController::iid, Vst::IEditController)
    QUERY_INTERFACE (wanted, obj, Vst::IConnectionPoint::iid, Vst::IConnectionPoint)

    // The framework's other interfaces (MIDI mapping, units, ...) and its own:
    // its component finds it through them.
    return framework->queryInterface (wanted, obj);
}

uint32 PLUGIN_API GuardedController::release()
{
    const auto left = --references;
    if (left == 0)
        delete this;
    return left;
}

// clang-format off
tresult PLUGIN_API GuardedController::initialize (FUnknown* context) { return hostCall ([&] { return controller->initialize (context); }); }
tresult PLUGIN_API GuardedController::terminate() { return hostCall ([&] { return controller->terminate(); }); }
tresult PLUGIN_API GuardedController::setComponentState (IBStream* state) { return hostCall ([&] { return controller->setComponentState (state); }); }
tresult PLUGIN_API GuardedController::setState (IBStream* state) { return hostCall ([&] { return controller->setState (state); }); }
tresult PLUGIN_API GuardedController::getState (IBStream* state) { return hostCall ([&] { return controller->getState (state); }); }
int32 PLUGIN_API GuardedController::getParameterCount() { return hostCall ([&] { return controller->getParameterCount(); }); }
tresult PLUGIN_API GuardedController::getParameterInfo (int32 index, Vst::ParameterInfo& info) { return hostCall ([&] { return controller->getParameterInfo (index, info); }); }
tresult PLUGIN_API GuardedController::getParamStringByValue (Vst::ParamID id, Vst::ParamValue value, Vst::String128 string) { return hostCall ([&] { return controller->getParamStringByValue (id, value, string); }); }
tresult PLUGIN_API GuardedController::getParamValueByString (Vst::ParamID id, Vst::TChar* string, Vst::ParamValue& value) { return hostCall ([&] { return controller->getParamValueByString (id, string, value); }); }
Vst::ParamValue PLUGIN_API GuardedController::normalizedParamToPlain (Vst::ParamID id, Vst::ParamValue value) { return hostCall ([&] { return controller->normalizedParamToPlain (id, value); }); }
Vst::ParamValue PLUGIN_API GuardedController::plainParamToNormalized (Vst::ParamID id, Vst::ParamValue plain) { return hostCall ([&] { return controller->plainParamToNormalized (id, plain); }); }
Vst::ParamValue PLUGIN_API GuardedController::getParamNormalized (Vst::ParamID id) { return hostCall ([&] { return controller->getParamNormalized (id); }); }
tresult PLUGIN_API GuardedController::setParamNormalized (Vst::ParamID id, Vst::ParamValue value) { return hostCall ([&] { return controller->setParamNormalized (id, value); }); }
IPlugView* PLUGIN_API GuardedController::createView (FIDString name) { return hostCall ([&] { return controller->createView (name); }); }
tresult PLUGIN_API GuardedController::connect (IConnectionPoint* other) { return hostCall ([&] { return connection ? connection->connect (other) : kNotImplemented; }); }
tresult PLUGIN_API GuardedController::disconnect (IConnectionPoint* other) { return hostCall ([&] { return connection ? connection->disconnect (other) : kNotImplemented; }); }
tresult PLUGIN_API GuardedController::notify (Vst::IMessage* message) { return hostCall ([&] { return connection ? connection->notify (message) : kNotImplemented; }); }
// clang-format on

tresult PLUGIN_API GuardedController::setComponentHandler (Vst::IComponentHandler* newHandler)
{
    {
        const std::lock_guard<std::mutex> lock (handlerLock);
        host = newHandler;
    }

    return hostCall ([&] { return controller->setComponentHandler (newHandler != nullptr ? &handler : nullptr); });
}

IPtr<Vst::IComponentHandler> GuardedController::hostHandler()
{
    const std::lock_guard<std::mutex> lock (handlerLock);
    return host;
}

void GuardedController::timerCallback()
{
    // A host call in progress on another thread still holds them back.
    if (hostCallsInside > 0)
        return;

    stopTimer();

    if (const auto flags = heldBackRestarts.exchange (0); flags != 0)
        if (auto h = hostHandler())
            h->restartComponent (flags);
}

//==============================================================================
tresult PLUGIN_API GuardedController::Handler::queryInterface (const TUID wanted, void** obj)
{
    QUERY_INTERFACE (wanted, obj, FUnknown::iid, Vst::IComponentHandler)
    QUERY_INTERFACE (wanted, obj, Vst::IComponentHandler::iid, Vst::IComponentHandler)

    // The host's other handler interfaces, as the host offers them.
    if (auto h = owner.hostHandler())
        return h->queryInterface (wanted, obj);

    *obj = nullptr;
    return kNoInterface;
}

// clang-format off
tresult PLUGIN_API GuardedController::Handler::beginEdit (Vst::ParamID id) { auto h = owner.hostHandler(); return h ? h->beginEdit (id) : kResultFalse; }
tresult PLUGIN_API GuardedController::Handler::performEdit (Vst::ParamID id, Vst::ParamValue value) { auto h = owner.hostHandler(); return h ? h->performEdit (id, value) : kResultFalse; }
tresult PLUGIN_API GuardedController::Handler::endEdit (Vst::ParamID id) { auto h = owner.hostHandler(); return h ? h->endEdit (id) : kResultFalse; }
// clang-format on

tresult PLUGIN_API GuardedController::Handler::restartComponent (int32 flags)
{
    if (owner.hostCallsInside > 0)
    {
        owner.heldBackRestarts |= flags;
        owner.startTimer (restartPollMilliseconds);
        return kResultOk;
    }

    auto h = owner.hostHandler();
    return h ? h->restartComponent (flags) : kResultFalse;
}
} // namespace Vst3
