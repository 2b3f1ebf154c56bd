#include "myAudioProcessor.h"

namespace
{
// Change messages and the refused-split-point box follow the audio thread's
// flags this often: at once, to a player's eye.
constexpr int changePollMilliseconds = 15;
} // namespace

myAudioProcessor::myAudioProcessor (EditorFactory makeEditor)
    : myAudioProcessor (BusesProperties()
                            .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                            .withOutput ("Output", juce::AudioChannelSet::stereo(), true),
                        makeEditor)
{
}

myAudioProcessor::myAudioProcessor (const BusesProperties& buses, EditorFactory makeEditor)
    : AudioProcessor (buses), editorFactory (makeEditor)
{
    for (size_t k = 0; k < settings.size(); ++k)
        settings[k] = Settings::table[k].defaultValue;

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

int myAudioProcessor::limitChannel (int channel) noexcept
{
    // Only a foreign saved state can bring other values; the setting itself stays as stored.
    return juce::jlimit (1, 16, channel);
}

int myAudioProcessor::voicesChannel() const noexcept
{
    // Solo (0, or a foreign value below it): the melody's channel.
    return playing[Settings::voiceChannel] > 0 ? limitChannel (playing[Settings::voiceChannel]) : limitChannel (playing[Settings::chanOutSolo]);
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

juce::AudioProcessorEditor* myAudioProcessor::createEditor() { return editorFactory != nullptr ? editorFactory (*this) : nullptr; }
bool myAudioProcessor::hasEditor() const { return editorFactory != nullptr; }

int myAudioProcessor::getNumPrograms() { return 0; }
int myAudioProcessor::getCurrentProgram() { return 0; }
void myAudioProcessor::setCurrentProgram (int) {}
const juce::String myAudioProcessor::getProgramName (int) { return {}; }
void myAudioProcessor::changeProgramName (int, const juce::String&) {}
