#include "myAudioProcessor.h"

#include "myAudioProcessorEditor.h" // the one arrow back: the framework asks a processor for its editor
#include "StateChunk.h"

namespace
{
// Change messages and the refused-split-point box follow the audio thread's
// flags this often: at once, to a player's eye.
constexpr int changePollMilliseconds = 15;
} // namespace

myAudioProcessor::myAudioProcessor()
    : myAudioProcessor (BusesProperties()
                            .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                            .withOutput ("Output", juce::AudioChannelSet::stereo(), true))
{
}

myAudioProcessor::myAudioProcessor (const BusesProperties& buses)
    : AudioProcessor (buses)
{
    // Everything the audio thread may need is reserved here, so that the block
    // function never allocates in the steady state.
    for (auto& list : soloNotes)
        list.ensureStorageAllocated (maxStrikesPerKey);

    flagPoller.startTimer (changePollMilliseconds);
}

myAudioProcessor::~myAudioProcessor()
{
    flagPoller.stopTimer();
}

void myAudioProcessor::pollAudioThreadFlags()
{
    if (hasChanged.exchange (false))
        sendChangeMessage();

    if (splitPointRefused.exchange (false))
        juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::InfoIcon,
                                                splitWarningTitle, splitWarningText, "OK");
}

//==============================================================================
const juce::String myAudioProcessor::getName() const { return POLYQUINTA_NAME; }

void myAudioProcessor::prepareToPlay (double, int) {}
void myAudioProcessor::releaseResources() {}

const juce::String myAudioProcessor::getInputChannelName (int channelIndex) const
{
    if (juce::isPositiveAndBelow (channelIndex, getTotalNumInputChannels()))
        return getName() + " " + juce::String (channelIndex + 1);

    return {};
}

const juce::String myAudioProcessor::getOutputChannelName (int channelIndex) const
{
    if (juce::isPositiveAndBelow (channelIndex, getTotalNumOutputChannels()))
        return getName() + " " + juce::String (channelIndex + 1);

    return {};
}

bool myAudioProcessor::isInputChannelStereoPair (int) const { return true; }
bool myAudioProcessor::isOutputChannelStereoPair (int) const { return true; }

int myAudioProcessor::getNumParameters() { return 0; }
const juce::String myAudioProcessor::getParameterName (int) { return {}; }
float myAudioProcessor::getParameter (int) { return 0.0f; }
const juce::String myAudioProcessor::getParameterText (int) { return {}; }
void myAudioProcessor::setParameter (int, float) {}

bool myAudioProcessor::silenceInProducesSilenceOut() const { return false; }
double myAudioProcessor::getTailLengthSeconds() const { return 0.0; }
bool myAudioProcessor::acceptsMidi() const { return true; }
bool myAudioProcessor::producesMidi() const { return true; }

juce::AudioProcessorEditor* myAudioProcessor::createEditor() { return new myAudioProcessorEditor (*this); }
bool myAudioProcessor::hasEditor() const { return true; }

int myAudioProcessor::getNumPrograms() { return 0; }
int myAudioProcessor::getCurrentProgram() { return 0; }
void myAudioProcessor::setCurrentProgram (int) {}
const juce::String myAudioProcessor::getProgramName (int) { return {}; }
void myAudioProcessor::changeProgramName (int, const juce::String&) {}

//==============================================================================
std::array<std::atomic<int32_t>*, Settings::count> myAudioProcessor::settingsByKey()
{
    std::array<std::atomic<int32_t>*, Settings::count> s {};
    s[Settings::chordThru] = &chordThru;
    s[Settings::chanOutChord] = &chanOutChord;
    s[Settings::chanOutSolo] = &chanOutSolo;
    s[Settings::splitPoint] = &splitPoint;
    s[Settings::harmonyEnabled] = &harmonyEnabled;
    s[Settings::ccHarmonyCtl] = &ccHarmonyCtl;
    s[Settings::maxSoloVoices] = &maxSoloVoices;
    s[Settings::voicesWithMelody] = &voicesWithMelody;
    s[Settings::pedalsToBoth] = &pedalsToBoth;
    return s;
}

Settings::Values myAudioProcessor::currentSettings()
{
    Settings::Values values {};
    const auto settings = settingsByKey();

    for (size_t i = 0; i < settings.size(); ++i)
        values[i] = *settings[i];

    return values;
}

void myAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    StateChunk::write (currentSettings(), destData);
}

std::string myAudioProcessor::getSettingsText()
{
    return StateChunk::text (currentSettings());
}

void myAudioProcessor::setSettingsText (const char* text, size_t length)
{
    loadSettings ([&] (const StateChunk::Store& store) { StateChunk::readText (text, length, store); });
}

void myAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    loadSettings ([&] (const StateChunk::Store& store) { StateChunk::read (data, sizeInBytes, store); });
}

void myAudioProcessor::loadSettings (const std::function<void (const StateChunk::Store&)>& read)
{
    const auto settings = settingsByKey();
    std::array<bool, Settings::count> loaded {};
    read ([&] (Settings::Key key, int32_t value) {
        *settings[(size_t) key] = value;
        loaded[(size_t) key] = true;
    });

    // A chunk that sets anything sets the added switches too: one without
    // them was written before they existed, or with them off.
    if (std::find (loaded.begin(), loaded.end(), true) != loaded.end())
        for (size_t k = 0; k < loaded.size(); ++k)
            if (Settings::table[k].onlyWhenOn && ! loaded[k])
                *settings[k] = Settings::table[k].defaultValue;
}
