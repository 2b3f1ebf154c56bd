// The host's requests: the dispatch table's answers about the plug-in, its
// state and its pins. Called by the host from any of its threads; the state
// calls allocate, so hosts make them off the audio thread.

#include "JuceVSTWrapper.h"

#include "FrameworkSession.h"
#include "VstText.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace
{
// Every adapter in the process; changes under adapterLifecycleLock().
std::vector<JuceVSTWrapper*> activeWrappers;
} // namespace

//==============================================================================
JuceVSTWrapper::JuceVSTWrapper (audioMasterCallback master, std::unique_ptr<myAudioProcessor> p)
    : AudioEffectX (master, p->getNumPrograms(), p->getNumParameters()),
      processor (std::move (p))
{
    allocateBlockStorage();
    processor->setPlayConfigDetails (inputChannelCount, outputChannelCount, 0.0, 0);
    processor->setPlayHead (this);
    processor->addListener (this);

    cEffect.version = POLYQUINTA_VST2_VERSION;
    cEffect.uniqueID = POLYQUINTA_VST2_ID_CODE;
    cEffect.numInputs = inputChannelCount;
    cEffect.numOutputs = outputChannelCount;
    setFlag (effFlagsIsSynth, false);
    setFlag (effFlagsHasEditor, true);
    setFlag (effFlagsCanReplacing, true);
    setFlag (effFlagsNoSoundInStop, processor->getTailLengthSeconds() <= 0.0);
    cEffect.initialDelay = processor->getLatencySamples();
    setFlag (effFlagsProgramChunks, true);

    const std::lock_guard<std::recursive_mutex> lock (adapterLifecycleLock());
    activeWrappers.push_back (this);
}

JuceVSTWrapper::~JuceVSTWrapper()
{
    stopTimer();
    deleteEditorWrapper (false);
    editorWrapper.reset();
    isShutDown = true;

    processor.reset();

    const std::lock_guard<std::recursive_mutex> lock (adapterLifecycleLock());
    activeWrappers.erase (std::remove (activeWrappers.begin(), activeWrappers.end(), this), activeWrappers.end());
    if (activeWrappers.empty())
    {
        shutDownFrameworkUserInterface();
        endEditorHostingSession();
    }
}

//==============================================================================
void JuceVSTWrapper::open()
{
    setFlag (effFlagsHasEditor, processor != nullptr && processor->hasEditor());
}

void JuceVSTWrapper::close()
{
    stopTimer();

    if (juce::MessageManager::existsAndIsCurrentThread())
        deleteEditorWrapper (false);
}

void JuceVSTWrapper::setProgram (int32_t index)
{
    if (processor != nullptr)
        processor->setCurrentProgram (index);
}

int32_t JuceVSTWrapper::getProgram()
{
    return processor != nullptr ? processor->getCurrentProgram() : 0;
}

void JuceVSTWrapper::setProgramName (const char* name)
{
    if (processor != nullptr && name != nullptr)
        processor->changeProgramName (processor->getCurrentProgram(), juce::String::fromUTF8 (name));
}

void JuceVSTWrapper::getProgramName (char* name)
{
    if (processor != nullptr)
        VstText::copy (processor->getProgramName (processor->getCurrentProgram()), name, 24);
}

void JuceVSTWrapper::getParameterLabel (int32_t, char* label)
{
    VstText::copy ({}, label, 8);
}

void JuceVSTWrapper::getParameterDisplay (int32_t index, char* text)
{
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    if (processor != nullptr)
        VstText::copy (processor->getParameterText (index), text, 24);
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE
}

void JuceVSTWrapper::getParameterName (int32_t index, char* text)
{
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    if (processor != nullptr)
        VstText::copy (processor->getParameterName (index), text, 16);
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE
}

int32_t JuceVSTWrapper::getChunk (void** data, bool isPreset)
{
    if (processor == nullptr || data == nullptr)
        return 0;

    const juce::ScopedLock sl (stateChunkLock);
    stateChunk.reset();

    if (isPreset)
        processor->getCurrentProgramStateInformation (stateChunk);
    else
        processor->getStateInformation (stateChunk);

    *data = stateChunk.getData();
    stateChunkTime = juce::Time::getApproximateMillisecondCounter();
    return (int32_t) stateChunk.getSize();
}

int32_t JuceVSTWrapper::setChunk (void* data, int32_t byteSize, bool isPreset)
{
    if (processor == nullptr)
        return 0;

    {
        const juce::ScopedLock sl (stateChunkLock);
        stateChunk.reset();
        stateChunkTime = 0;
    }

    if (byteSize > 0 && data != nullptr)
    {
        if (isPreset)
            processor->setCurrentProgramStateInformation (data, byteSize);
        else
            processor->setStateInformation (data, byteSize);
    }

    return 0;
}

void JuceVSTWrapper::setParameter (int32_t index, float value)
{
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    if (processor != nullptr)
        processor->setParameter (index, value);
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE
}

float JuceVSTWrapper::getParameter (int32_t index)
{
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    return processor != nullptr ? processor->getParameter (index) : 0.0f;
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE
}

bool JuceVSTWrapper::canParameterBeAutomated (int32_t index)
{
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    return processor != nullptr && processor->isParameterAutomatable (index);
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE
}

bool JuceVSTWrapper::getProgramNameIndexed (int32_t, int32_t index, char* text)
{
    if (processor != nullptr && (uint32_t) index < (uint32_t) processor->getNumPrograms())
    {
        VstText::copy (processor->getProgramName (index), text, 24);
        return true;
    }

    return false;
}

bool JuceVSTWrapper::getInputProperties (int32_t index, VstPinProperties* properties)
{
    return getPinProperties (true, index, properties);
}

bool JuceVSTWrapper::getOutputProperties (int32_t index, VstPinProperties* properties)
{
    return getPinProperties (false, index, properties);
}

bool JuceVSTWrapper::getPinProperties (bool isInput, int32_t index, VstPinProperties* properties)
{
    if (processor == nullptr || properties == nullptr || index < 0 || index >= 2)
        return false;

    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    const auto name = isInput ? processor->getInputChannelName (index) : processor->getOutputChannelName (index);
    const bool stereo = isInput ? processor->isInputChannelStereoPair (index) : processor->isOutputChannelStereoPair (index);
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE

    const auto arrangement = isInput ? inputArrangement : outputArrangement;

    VstText::copy (name, properties->label, 63);
    VstText::copy (name, properties->shortLabel, 7);

    if (arrangement == kSpeakerArrEmpty)
    {
        properties->flags = kVstPinIsActive | (stereo ? kVstPinIsStereo : 0);
        properties->arrangementType = 0;
    }
    else
    {
        properties->flags = kVstPinUseSpeaker;
        properties->arrangementType = arrangement;
    }

    return true;
}

int32_t JuceVSTWrapper::getPlugCategory()
{
    return kPlugCategEffect;
}

bool JuceVSTWrapper::setSpeakerArrangement (VstSpeakerArrangement* inputs, VstSpeakerArrangement* outputs)
{
    if (processor == nullptr || inputs == nullptr || outputs == nullptr)
        return false;

    static constexpr int configurations[][2] = { { 1, 1 }, { 2, 2 } };

    for (int i = (int) std::size (configurations); --i >= 0;)
    {
        if (configurations[i][0] == inputs->numChannels && configurations[i][1] == outputs->numChannels)
        {
            inputArrangement = inputs->type;
            outputArrangement = outputs->type;
            inputChannelCount = inputs->numChannels;
            outputChannelCount = outputs->numChannels;
            processor->setPlayConfigDetails (inputChannelCount, outputChannelCount,
                                             processor->getSampleRate(), processor->getBlockSize());
            return true;
        }
    }

    return false;
}

bool JuceVSTWrapper::getSpeakerArrangement (VstSpeakerArrangement** inputs, VstSpeakerArrangement** outputs)
{
    if (inputs != nullptr)
        *inputs = nullptr;
    if (outputs != nullptr)
        *outputs = nullptr;
    return false;
}

bool JuceVSTWrapper::setBypass (bool shouldBeBypassed)
{
    isBypassed = shouldBeBypassed;
    return true;
}

bool JuceVSTWrapper::getEffectName (char* text)
{
    if (processor == nullptr)
        return false;

    VstText::copy (processor->getName(), text, 64);
    return true;
}

bool JuceVSTWrapper::getVendorString (char* text)
{
    VstText::copy (POLYQUINTA_VENDOR, text, 64);
    return true;
}

bool JuceVSTWrapper::getProductString (char* text)
{
    return getEffectName (text);
}

int32_t JuceVSTWrapper::getVendorVersion()
{
    return POLYQUINTA_VST2_VERSION;
}

int32_t JuceVSTWrapper::canDo (const char* text)
{
    if (text == nullptr)
        return 0;

    static constexpr const char* yes[] = { "receiveVstEvents", "receiveVstMidiEvent", "receiveVstMidiEvents",
                                           "sendVstEvents", "sendVstMidiEvent", "sendVstMidiEvents",
                                           "receiveVstTimeInfo", "conformsToWindowRules", "bypass" };

    for (auto* capability : yes)
        if (std::strcmp (text, capability) == 0)
            return 1;

    if (std::strcmp (text, "openCloseAnyThread") == 0)
        return -1;

    return 0;
}

int32_t JuceVSTWrapper::getGetTailSize()
{
    return processor != nullptr ? (int32_t) (processor->getTailLengthSeconds() * sampleRate) : 0;
}

//==============================================================================
void JuceVSTWrapper::audioProcessorParameterChanged (juce::AudioProcessor*, int index, float newValue)
{
    callHost (audioMasterAutomate, index, 0, nullptr, newValue);
}

void JuceVSTWrapper::audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&)
{
    if (processor != nullptr)
        cEffect.initialDelay = processor->getLatencySamples();

    callHost (audioMasterIOChanged);
    callHost (audioMasterUpdateDisplay);
}

void JuceVSTWrapper::audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index)
{
    callHost (audioMasterBeginEdit, index);
}

void JuceVSTWrapper::audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index)
{
    callHost (audioMasterEndEdit, index);
}

juce::Optional<juce::AudioPlayHead::PositionInfo> JuceVSTWrapper::getPosition() const
{
    // The processor never asks where the host's transport is.
    return {};
}
