// What the processor answers a host adapter, and what its lifecycle calls leave alone.

#include "EngineHarness.h"

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

namespace
{
TEST (Properties, NameAndChannelNames)
{
    myAudioProcessor p;
    EXPECT_EQ (p.getName(), "Polyquinta");
    EXPECT_EQ (p.getTotalNumInputChannels(), 2);
    EXPECT_EQ (p.getTotalNumOutputChannels(), 2);

    EXPECT_EQ (p.getInputChannelName (0), "Polyquinta 1");
    EXPECT_EQ (p.getInputChannelName (1), "Polyquinta 2");
    EXPECT_EQ (p.getInputChannelName (2), "");
    EXPECT_EQ (p.getInputChannelName (-1), "");
    EXPECT_EQ (p.getOutputChannelName (0), "Polyquinta 1");
    EXPECT_EQ (p.getOutputChannelName (1), "Polyquinta 2");
    EXPECT_EQ (p.getOutputChannelName (2), "");

    p.setPlayConfigDetails (2, 0, 44100.0, 512);
    EXPECT_EQ (p.getOutputChannelName (0), "");
    EXPECT_EQ (p.getInputChannelName (1), "Polyquinta 2");

    EXPECT_TRUE (p.isInputChannelStereoPair (0));
    EXPECT_TRUE (p.isInputChannelStereoPair (7));
    EXPECT_TRUE (p.isOutputChannelStereoPair (7));
}

TEST (Properties, MidiEffectWithEditorAndNoTail)
{
    myAudioProcessor p;
    EXPECT_TRUE (p.acceptsMidi());
    EXPECT_TRUE (p.producesMidi());
    EXPECT_TRUE (p.hasEditor());
    EXPECT_FALSE (p.silenceInProducesSilenceOut());
    EXPECT_EQ (p.getTailLengthSeconds(), 0.0);
    EXPECT_EQ (p.getLatencySamples(), 0);
}

TEST (Properties, NoParameters)
{
    myAudioProcessor p;
    EXPECT_EQ (p.getNumParameters(), 0);
    EXPECT_TRUE (p.getParameters().isEmpty());
    EXPECT_EQ (p.getParameterName (0), "");
    EXPECT_EQ (p.getParameterName (0, 8), "");
    EXPECT_EQ (p.getParameterText (0), "");
    EXPECT_EQ (p.getParameterText (0, 8), "");
    EXPECT_EQ (p.getParameter (5), 0.0f);
    EXPECT_EQ (p.getParameterNumSteps (0), 2147483647);
    EXPECT_EQ (p.getParameterDefaultValue (0), 0.0f);
    EXPECT_EQ (p.getParameterLabel (0), "");
    EXPECT_TRUE (p.isParameterAutomatable (0));
    EXPECT_FALSE (p.isMetaParameter (0));

    juce::MemoryBlock before, after;
    p.getStateInformation (before);
    p.setParameter (0, 1.0f);
    p.getStateInformation (after);
    EXPECT_EQ (before, after);
}

TEST (Properties, NoPrograms)
{
    myAudioProcessor p;
    EXPECT_EQ (p.getNumPrograms(), 0);
    EXPECT_EQ (p.getCurrentProgram(), 0);
    p.setCurrentProgram (3);
    EXPECT_EQ (p.getCurrentProgram(), 0);
    EXPECT_EQ (p.getProgramName (0), "");
    p.changeProgramName (0, "Lead");
    EXPECT_EQ (p.getProgramName (0), "");
}

TEST (Properties, ProgramStateIsTheSameChunk)
{
    myAudioProcessor p;
    p.splitPoint = 55;
    juce::MemoryBlock whole, program;
    p.getStateInformation (whole);
    p.getCurrentProgramStateInformation (program);
    EXPECT_EQ (whole, program);

    myAudioProcessor q;
    q.setCurrentProgramStateInformation (program.getData(), (int) program.getSize());
    EXPECT_EQ (q.splitPoint.load(), 55);
}

TEST (Properties, LifecycleCallsLeaveSettingsAndNotesAlone)
{
    myAudioProcessor p;
    p.chanOutSolo = 7;
    p.splitPoint = 60;
    runBlock (p, { on (1, 36, 100), on (1, 40, 100), on (1, 72, 90) });

    p.prepareToPlay (48000.0, 256);
    p.releaseResources();
    p.releaseResources();
    p.reset();
    p.prepareToPlay (0.0, 0);

    EXPECT_EQ (p.chanOutSolo.load(), 7);
    EXPECT_EQ (p.splitPoint.load(), 60);
    EXPECT_EQ (chordNotesOf (p), (std::vector<int> { 36, 40 }));
    EXPECT_EQ (heldSoloKeysOf (p), (std::vector<int> { 72 }));
    EXPECT_TRUE (p.keyboardState.isNoteOn (1, 72));
}

TEST (Properties, BypassedBlockLeavesEverythingAsItCame)
{
    myAudioProcessor p;
    const Events in { on (1, 36, 100, 0), on (1, 72, 90, 10), cc (1, 123, 0, 20) };
    auto midi = toBuffer (in);
    juce::AudioBuffer<float> audio (2, 64);
    audio.clear();
    audio.setSample (1, 5, 0.5f);

    p.processBlockBypassed (audio, midi);

    EXPECT_EQ (fromBuffer (midi), in);
    EXPECT_EQ (audio.getSample (1, 5), 0.5f);
    EXPECT_TRUE (p.chordNotes.isEmpty());
    EXPECT_EQ (p.countSoloNotes(), 0);
}

TEST (Properties, DeletingThroughEitherBase)
{
    juce::ChangeBroadcaster* asBroadcaster = new myAudioProcessor();
    delete asBroadcaster;
    juce::AudioProcessor* asProcessor = new myAudioProcessor();
    delete asProcessor;
}
} // namespace

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
