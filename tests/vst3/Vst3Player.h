#pragma once

// Our VST3 test host: the framework's own VST3 hosting loads the bundle as a
// host does; blocks go straight to the component's process() in lists that
// neither lock nor allocate, so that the plug-in's audio thread is counted
// alone. The answer reads as the VST host reports it.

#include "Events.h"
#include "SettingsText.h"
#include "VstHost.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstevents.h>
#include <pluginterfaces/vst/ivstmidicontrollers.h>
#include <pluginterfaces/vst/ivstparameterchanges.h>
#include <public.sdk/source/common/memorystream.h>

#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>
#include <pluginterfaces/vst/ivstmessage.h>

#include <array>
#include <map>
#include <stdexcept>

#if defined(_WIN32)
 #include <windows.h>
#else
 #include <dlfcn.h>
#endif

namespace vst3host
{
using namespace Steinberg;

template <typename Interface>
struct NotCounted : Interface // lives in the player: nobody counts its references
{
    tresult PLUGIN_API queryInterface (const TUID, void** obj) override { return *obj = nullptr, kNoInterface; }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }
};

struct EventList : NotCounted<Vst::IEventList>
{
    int32 PLUGIN_API getEventCount() override { return count; }
    tresult PLUGIN_API getEvent (int32 i, Vst::Event& e) override { return i >= 0 && i < count ? (e = events[(size_t) i], kResultOk) : kInvalidArgument; }
    tresult PLUGIN_API addEvent (Vst::Event& e) override { return count < (int32) events.size() ? (events[(size_t) count++] = e, kResultOk) : kResultFalse; }
    std::vector<Vst::Event> events = std::vector<Vst::Event> (1 << 16); // room for any block a test plays
    int32 count = 0;
};

// One point per parameter and block, as a host sends a controller or the bypass.
struct Change : NotCounted<Vst::IParamValueQueue>
{
    Vst::ParamID PLUGIN_API getParameterId() override { return id; }
    int32 PLUGIN_API getPointCount() override { return 1; }
    tresult PLUGIN_API getPoint (int32 i, int32& at, Vst::ParamValue& v) override { return i == 0 ? (at = offset, v = value, kResultOk) : kInvalidArgument; }
    tresult PLUGIN_API addPoint (int32, Vst::ParamValue, int32&) override { return kResultFalse; }
    Vst::ParamID id = 0;
    int32 offset = 0;
    Vst::ParamValue value = 0;
};

struct Changes : NotCounted<Vst::IParameterChanges>
{
    int32 PLUGIN_API getParameterCount() override { return count; }
    Vst::IParamValueQueue* PLUGIN_API getParameterData (int32 i) override { return i >= 0 && i < count ? &changes[(size_t) i] : nullptr; }
    Vst::IParamValueQueue* PLUGIN_API addParameterData (const Vst::ParamID&, int32&) override { return nullptr; }
    void add (Vst::ParamID id, int32 offset, Vst::ParamValue value)
    {
        auto& c = changes[(size_t) count++];
        c.id = id, c.offset = offset, c.value = value;
    }
    std::array<Change, 4096> changes {};
    int32 count = 0;
};

/** An instance of the bundle, switched on, with stereo buffers of `blockSize` samples. */
class Player
{
public:
    explicit Player (int blockSize = 512) : audio (4, std::vector<float> (1 << 13)), numSamples (blockSize) // room for longer blocks
    {
        juce::VST3PluginFormat format;
        juce::OwnedArray<juce::PluginDescription> types;
        juce::String error;
        format.findAllTypesForFile (types, POLYQUINTA_VST3_BUNDLE);
        if (types.isEmpty() || (instance = format.createInstanceFromDescription (*types[0], 48000.0, blockSize, error)) == nullptr)
            throw std::runtime_error ("the bundle does not load: " + error.toStdString());

        instance->prepareToPlay (48000.0, blockSize);
        struct : juce::ExtensionsVisitor
        {
            void visitVST3Client (const VST3Client& c) override { found = static_cast<Vst::IComponent*> (c.getIComponentPtr()); }
            Vst::IComponent* found = nullptr;
        } visitor;
        instance->getExtensions (visitor);
        component = visitor.found;
        processor = FUnknownPtr<Vst::IAudioProcessor> (component);
        // The framework's controller parameters are named "MIDI CC <channel>|<number>".
        for (auto* p : instance->getParameters())
            if (auto name = p->getName (64); name.startsWith ("MIDI CC "))
                controllerIds[name.substring (8)] = idOf (p);
        bypassId = idOf (instance->getBypassParameter());
    }

    /** Queues the events for the next block: notes and dumps as events;
        controllers, pitch bend and channel pressure as controller parameters. */
    void queue (const Events& events)
    {
        for (auto& e : events)
        {
            const int status = e.bytes[0] & 0xf0, channel = e.bytes[0] & 0x0f;
            if (status == 0xb0 || status == 0xe0 || status == 0xd0)
            {
                const int number = status == 0xb0 ? (int) e.bytes[1] : (status == 0xe0 ? (int) Vst::kPitchBend : (int) Vst::kAfterTouch);
                const double value = status == 0xe0 ? (e.bytes[1] | e.bytes[2] << 7) / 16384.0 : e.bytes[status == 0xb0 ? 2 : 1] / 127.0;
                changes.add (controllerIds[juce::String (channel) + "|" + juce::String (number)], e.position, value);
                continue;
            }
            auto& out = input.events[(size_t) input.count++];
            out = {};
            out.sampleOffset = e.position;
            if (e.bytes[0] == 0xf0)
                out.type = Vst::Event::kDataEvent, out.data = { (uint32) e.bytes.size() - 2, Vst::DataEvent::kMidiSysEx, e.bytes.data() + 1 };
            else if (status == 0x90 && e.bytes[2] > 0)
                out.type = Vst::Event::kNoteOnEvent, out.noteOn = { (int16) channel, e.bytes[1], 0.0f, e.bytes[2] / 127.0f, 0, -1 };
            else
                out.type = Vst::Event::kNoteOffEvent, out.noteOff = { (int16) channel, e.bytes[1], e.bytes[2] / 127.0f, -1, 0.0f };
        }
    }

    /** One block of what is queued, two channels in and out. */
    tresult process (int samples = -1)
    {
        float* in[] = { audio[0].data(), audio[1].data() };
        float* out[] = { audio[2].data(), audio[3].data() };
        Vst::AudioBusBuffers buses[2] {};
        buses[0].numChannels = buses[1].numChannels = 2;
        buses[0].channelBuffers32 = in, buses[1].channelBuffers32 = out;

        Vst::ProcessData data;
        data.numSamples = samples < 0 ? numSamples : samples;
        data.numInputs = data.numOutputs = 1;
        data.inputs = &buses[0], data.outputs = &buses[1];
        data.inputParameterChanges = &changes;
        data.inputEvents = &input, data.outputEvents = &output;
        output.count = 0;
        const auto result = processor->process (data);
        input.count = changes.count = 0;
        return result;
    }

    /** One block; the answer as the VST host receives it. */
    const std::vector<vsthost::ReceivedEvent>& run (const Events& events, int samples = -1)
    {
        queue (events);
        process (samples);
        received.clear();
        for (int32 i = 0; i < output.count; ++i)
            received.push_back (asReceived (output.events[(size_t) i]));
        return received;
    }

    // What a host does between blocks.
    void bypass (bool on) { changes.add (bypassId, 0, on ? 1.0 : 0.0); }
    void restartPlayback() { instance->releaseResources(), instance->prepareToPlay (48000.0, numSamples); }
    void load (const std::string& elements) { setState (settingsChunk (elements)); }

    /** The state as a host stores it with a project, and hands it back. */
    std::string state()
    {
        MemoryStream stream;
        return component->getState (&stream), std::string (stream.getData(), (size_t) stream.getSize());
    }

    bool setState (std::string bytes)
    {
        MemoryStream stream (bytes.data(), (TSize) bytes.size());
        return component->setState (&stream) == kResultOk;
    }

    std::unique_ptr<juce::AudioPluginInstance> instance;
    Vst::IComponent* component = nullptr;
    FUnknownPtr<Vst::IAudioProcessor> processor { nullptr };
    std::vector<std::vector<float>> audio; // two inputs, then two outputs

private:
    static Vst::ParamID idOf (juce::AudioProcessorParameter* p)
    {
        return (Vst::ParamID) dynamic_cast<juce::HostedAudioProcessorParameter&> (*p).getParameterID().getLargeIntValue();
    }

    static vsthost::ReceivedEvent asReceived (const Vst::Event& e)
    {
        vsthost::ReceivedEvent r { kVstMidiType, 32, e.sampleOffset, 0, {}, {} };
        const auto& c = e.midiCCOut;
        const auto velocity = [] (float v) { return (uint8_t) juce::roundToInt (v * 127.0f); };
        if (e.type == Vst::Event::kNoteOnEvent)
            r.midi = { (uint8_t) (0x90 | e.noteOn.channel), (uint8_t) e.noteOn.pitch, velocity (e.noteOn.velocity) };
        else if (e.type == Vst::Event::kNoteOffEvent)
            r.midi = { (uint8_t) (0x80 | e.noteOff.channel), (uint8_t) e.noteOff.pitch, velocity (e.noteOff.velocity) };
        else if (e.type == Vst::Event::kDataEvent)
            r.type = kVstSysExType, r.sysex.push_back (0xf0), r.sysex.insert (r.sysex.end(), e.data.bytes, e.data.bytes + e.data.size), r.sysex.push_back (0xf7);
        else if (c.controlNumber < 128)
            r.midi = { (uint8_t) (0xb0 | c.channel), c.controlNumber, (uint8_t) c.value };
        else
            r.midi = { (uint8_t) ((c.controlNumber == Vst::kPitchBend ? 0xe0 : 0xd0) | c.channel), (uint8_t) c.value, (uint8_t) c.value2 };
        return r;
    }

    int numSamples;
    EventList input, output;
    Changes changes;
    std::map<juce::String, Vst::ParamID> controllerIds;
    Vst::ParamID bypassId = 0;
    std::vector<vsthost::ReceivedEvent> received;
};
/** The module entered as a host enters it, for checks that need the raw
    interfaces: a component and its controller, connected, the controller
    given the host's component handler. */
class RawInstance
{
public:
    explicit RawInstance (Vst::IComponentHandler& handler)
    {
#if defined(_WIN32)
        module = LoadLibraryA (POLYQUINTA_VST3_BUNDLE);
        const auto entry = [this] (const char* name) { return (void*) GetProcAddress ((HMODULE) module, name); };
        if (module != nullptr && entry ("InitDll") != nullptr)
            reinterpret_cast<bool (*)()> (entry ("InitDll"))();
#else
        module = dlopen (POLYQUINTA_VST3_BUNDLE "/Contents/x86_64-linux/Polyquinta.so", RTLD_NOW | RTLD_LOCAL);
        const auto entry = [this] (const char* name) { return dlsym (module, name); };
        if (module != nullptr && entry ("ModuleEntry") != nullptr)
            reinterpret_cast<bool (*) (void*)> (entry ("ModuleEntry")) (module);
#endif
        auto* getFactory = module != nullptr ? reinterpret_cast<IPluginFactory*(PLUGIN_API*) ()> (entry ("GetPluginFactory")) : nullptr;
        factory = getFactory != nullptr ? getFactory() : nullptr;
        if (factory == nullptr)
            throw std::runtime_error ("the module does not load");

        PClassInfo info {};
        for (int32 i = 0; i < factory->countClasses(); ++i)
            if (factory->getClassInfo (i, &info) == kResultOk && std::string (info.category) == kVstAudioEffectClass)
                factory->createInstance (info.cid, Vst::IComponent::iid, (void**) &component);
        TUID controllerId {};
        if (component == nullptr || component->initialize (nullptr) != kResultOk || component->getControllerClassId (controllerId) != kResultOk
            || factory->createInstance (controllerId, Vst::IEditController::iid, (void**) &controller) != kResultOk || controller->initialize (nullptr) != kResultOk)
            throw std::runtime_error ("no component and controller");

        componentConnection = FUnknownPtr<Vst::IConnectionPoint> (component);
        controllerConnection = FUnknownPtr<Vst::IConnectionPoint> (controller);
        componentConnection->connect (controllerConnection);
        controllerConnection->connect (componentConnection);
        controller->setComponentHandler (&handler);
    }

    ~RawInstance()
    {
        controller->setComponentHandler (nullptr);
        componentConnection->disconnect (controllerConnection);
        controllerConnection->disconnect (componentConnection);
        controller->terminate(), controller->release();
        component->terminate(), component->release();
        factory->release();
#if defined(_WIN32)
        reinterpret_cast<bool (*)()> ((void*) GetProcAddress ((HMODULE) module, "ExitDll"))();
        FreeLibrary ((HMODULE) module);
#else
        reinterpret_cast<bool (*)()> (dlsym (module, "ModuleExit"))();
        dlclose (module);
#endif
    }

    void* module = nullptr;
    IPluginFactory* factory = nullptr;
    Vst::IComponent* component = nullptr;
    Vst::IEditController* controller = nullptr;
    FUnknownPtr<Vst::IConnectionPoint> componentConnection { nullptr }, controllerConnection { nullptr };
};
} // namespace vst3host
