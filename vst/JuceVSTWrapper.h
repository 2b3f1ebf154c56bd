#pragma once

#include "AudioEffect.h"
#include "EditorCompWrapper.h"
#include "EventIntake.h"
#include "myAudioProcessor.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

/** The host adapter: owns the processor, answers the host's requests, and
    carries audio and MIDI between the host's buffers and the block function.
    Three homes, one per thread: the dispatch table (JuceVSTWrapper.cpp; any
    host thread, may allocate), the audio bridge (BlockProcessing.cpp; the
    audio thread, never allocates, waits or enters the kernel), and the editor
    hosting (EditorHosting.cpp; the message thread, may allocate and block). */
class JuceVSTWrapper : public AudioEffectX,
                       private juce::Timer,
                       public juce::AudioProcessorListener,
                       public juce::AudioPlayHead
{
public:
    JuceVSTWrapper (audioMasterCallback audioMaster, std::unique_ptr<myAudioProcessor> processor);
    ~JuceVSTWrapper() override;

    //==============================================================================
    void open() override;
    void close() override;
    void setProgram (int32_t index) override;
    int32_t getProgram() override;
    void setProgramName (const char* name) override;
    void getProgramName (char* name) override;
    void getParameterLabel (int32_t index, char* label) override;
    void getParameterDisplay (int32_t index, char* text) override;
    void getParameterName (int32_t index, char* text) override;
    void suspend() override;
    void resume() override;
    intptr_t editorRequest (int32_t opcode, void* ptr) override;
    int32_t getChunk (void** data, bool isPreset) override;
    int32_t setChunk (void* data, int32_t byteSize, bool isPreset) override;

    void setParameter (int32_t index, float value) override;
    float getParameter (int32_t index) override;
    void processReplacing (float** inputs, float** outputs, int32_t sampleFrames) override;

    int32_t processEvents (VstEvents* events) override;
    bool canParameterBeAutomated (int32_t index) override;
    bool getProgramNameIndexed (int32_t category, int32_t index, char* text) override;
    bool getInputProperties (int32_t index, VstPinProperties* properties) override;
    bool getOutputProperties (int32_t index, VstPinProperties* properties) override;
    int32_t getPlugCategory() override;
    bool setSpeakerArrangement (VstSpeakerArrangement* inputs, VstSpeakerArrangement* outputs) override;
    bool getSpeakerArrangement (VstSpeakerArrangement** inputs, VstSpeakerArrangement** outputs) override;
    bool setBypass (bool shouldBeBypassed) override;
    bool getEffectName (char* text) override;
    bool getVendorString (char* text) override;
    bool getProductString (char* text) override;
    int32_t getVendorVersion() override;
    int32_t canDo (const char* text) override;
    int32_t getGetTailSize() override;

    //==============================================================================
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float newValue) override;
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override;
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override;
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override;

    juce::Optional<PositionInfo> getPosition() const override;

    //==============================================================================
    /** While a mouse button is held over the editor, lets the host idle, at most every 20 ms. */
    void nudgeHostIdle();

    /** Resizes the host's window around an editor of this size. */
    void fitHostWindow (int width, int height);

    //==============================================================================
    // For tests that look inside one adapter.
    EditorCompWrapper* getEditorWrapper() const noexcept { return editorWrapper.get(); }
    myAudioProcessor* getProcessor() const noexcept { return processor.get(); }
    bool isHoldingStateChunk() const
    {
        const juce::ScopedLock sl (stateChunkLock);
        return ! stateChunk.isEmpty();
    }

private:
    void timerCallback() override;

    void createEditorWrapper();
    void deleteEditorWrapper (bool deferIfModal);
    void runIdleWork();
    void checkWhetherMessageThreadIsCorrect();
    static void endEditorHostingSession();

    // The audio thread's side (BlockProcessing.cpp).
    void allocateBlockStorage();
    void resumeKeepingEvents (bool keepPendingEvents);
    void decideRealtimeOnFirstBlock();
    void takeEvent (const VstEvent& e);
    static bool hasEveryChannel (float** channels, int count) noexcept;
    void sendOutgoingEvents (int numSamples);
    bool getPinProperties (bool isInput, int32_t index, VstPinProperties* properties);
    bool isOfflineProcessLevel();

    std::unique_ptr<myAudioProcessor> processor;

    // The chunk handed to the host: fetched and stored from any host thread,
    // freed by the message thread's timer.
    juce::CriticalSection stateChunkLock;
    juce::MemoryBlock stateChunk;
    juce::uint32 stateChunkTime = 0;
    std::unique_ptr<EditorCompWrapper> editorWrapper;
    ERect editorRect {};

    // The block's events on their way in and out: sized once for the largest
    // block the processor handles, touched only by the audio thread.
    EventIntake intake { myAudioProcessor::maxEventsPerBlock, myAudioProcessor::outputCapacityBytes };
    juce::MidiBuffer blockMidi;
    juce::HeapBlock<char> eventRecords, eventArray, sysexArena;
    VstEvents* hostEvents = nullptr;
    int32_t inputArrangement = kSpeakerArrEmpty, outputArrangement = kSpeakerArrEmpty;
    int32_t inputChannelCount = 2, outputChannelCount = 2;
    bool isResumed = false;
    std::atomic<bool> isBypassed { false }; // hosts switch it from their user-interface thread
    bool firstBlockPending = true;
    bool editorDeletePending = false;
    std::array<float*, 2> channelPointers {}; // two channels at the most: stereo or mono

    JUCE_DECLARE_NON_COPYABLE (JuceVSTWrapper)
};

/** True when the calling thread runs at an ordinary, non-elevated priority:
    on Windows between "lowest" and "normal"; elsewhere a time-sharing thread
    (not a real-time or idle one) whose nice value is 0 or more. */
bool callingThreadHasNormalPriority();
