#pragma once

#include "FixedList.h"
#include "NoteGate.h"
#include "OrderedMidi.h"
#include "Settings.h"
#include "StateChunk.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

/** One held note-on of a solo-area key: its velocity, which a harmony
    update gives its voices when the key is the reference. */
struct HeldNote
{
    uint8_t velocity = 0;
};

/** The Polyquinta processor: splits the keyboard, re-channels both areas and
    answers every melody change with close harmony voices built from the held
    chord. Made, configured and destroyed on the message thread; the block
    functions run on the audio thread, where nothing waits, allocates or enters
    the kernel. Change messages reach listeners on the message thread. */
class myAudioProcessor : public juce::AudioProcessor,
                         public juce::ChangeBroadcaster
{
public:
    /** Stereo in and out. */
    myAudioProcessor();
    ~myAudioProcessor() override;

    //==============================================================================
    const juce::String getName() const override;

    void prepareToPlay (double sampleRate, int estimatedSamplesPerBlock) override;
    void releaseResources() override;

    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages) override;
    using juce::AudioProcessor::processBlock;

    /** The host's bypass: events pass unchanged, but the voices stop, releases
        follow their notes' channels and the held keys stay counted. */
    void processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages) override;
    using juce::AudioProcessor::processBlockBypassed;

    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    const juce::String getInputChannelName (int channelIndex) const override;
    const juce::String getOutputChannelName (int channelIndex) const override;
    bool isInputChannelStereoPair (int index) const override;
    bool isOutputChannelStereoPair (int index) const override;

    int getNumParameters() override;
    const juce::String getParameterName (int index) override;
    float getParameter (int index) override;
    const juce::String getParameterText (int index) override;
    void setParameter (int index, float newValue) override;
    using juce::AudioProcessor::getParameterName;
    using juce::AudioProcessor::getParameterText;
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE

    bool silenceInProducesSilenceOut() const override;
    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    /** The settings as the text the saved state carries, and back by the same
        rules (for formats that store text). Message thread; both allocate. */
    std::string getSettingsText();
    void setSettingsText (const char* text, size_t length);

    //==============================================================================
    /** Number of solo-area keys currently held. */
    int countSoloNotes() const;

    //==============================================================================
    // The settings: written by the editor and the saved state on the message
    // thread, read (and some written) by the block function on the audio thread.
    std::atomic<int32_t> chordThru { Settings::defaultOf (Settings::chordThru) };
    std::atomic<int32_t> chanOutChord { Settings::defaultOf (Settings::chanOutChord) };
    std::atomic<int32_t> chanOutSolo { Settings::defaultOf (Settings::chanOutSolo) };
    std::atomic<int32_t> splitPoint { Settings::defaultOf (Settings::splitPoint) };
    std::atomic<int32_t> ccHarmonyCtl { Settings::defaultOf (Settings::ccHarmonyCtl) };
    std::atomic<int32_t> harmonyEnabled { Settings::defaultOf (Settings::harmonyEnabled) };
    std::atomic<int32_t> maxSoloVoices { Settings::defaultOf (Settings::maxSoloVoices) };
    std::atomic<int32_t> voicesWithMelody { Settings::defaultOf (Settings::voicesWithMelody) }; // voices at their event, not the block start
    std::atomic<int32_t> pedalsToBoth { Settings::defaultOf (Settings::pedalsToBoth) }; // pedals to the chord and the solo channel
    std::atomic<bool> learnSplitPoint { false };

    juce::MidiKeyboardState keyboardState;

    /** A key counts at most this many strikes (one per input channel), so
        that no input can make a harmony update longer. */
    static constexpr int maxStrikesPerKey = 16;
    static constexpr int listCapacity = 128 * maxStrikesPerKey;
    using NoteList = FixedList<int, listCapacity>;

    /** The voices of the last harmony update, those left out by the cap
        included. Audio thread, or any thread while no block runs. */
    const NoteList& getVoices() const noexcept { return harmonyNotes; }

    static constexpr const char* splitWarningTitle = "Attention";
    static constexpr const char* splitWarningText = "Split point must contain at least one octave !";

    /** What one block's output may hold: events beyond these are not passed on.
        A host adapter reserves as much for the buffer it hands over. */
    static constexpr int maxEventsPerBlock = 32768;
    static constexpr int maxSysexBytesPerBlock = 64 * 1024;
    static constexpr int outputCapacityBytes = maxEventsPerBlock * 9 + maxSysexBytesPerBlock;

protected:
    /** With buses of an adapter's own choosing. */
    explicit myAudioProcessor (const BusesProperties& buses);

private:
    // Bookkeeping, touched only on the audio thread.
    NoteList chordNotes;
    juce::Array<HeldNote> soloNotes[128];
    NoteList harmonyNotes;

    static constexpr int allNotesOffController = 123, allSoundOffController = 120;

    enum class Area : int8_t
    {
        none,
        chord,
        solo
    };

    /** The area of a held key and the channel of its first note-on: a key
        struck again before its release stays there. Kept until every strike
        is released, whatever the bookkeeping forgot meanwhile (All Notes Off,
        the strike cap). */
    struct KeyRoute
    {
        Area area = Area::none;
        int8_t channel = 0; // 1..16, or 0 when the note-on was not passed on
        int16_t strikes = 0; // note-ons not yet released, from every input channel
    };

    /** The note-ons of one key from one input channel not yet released, and
        the output channel they went out on (0: not passed on), so that every
        release ends exactly what its own note-on started. */
    struct Strike
    {
        int8_t channel = 0;
        int16_t count = 0;
    };

    /** The block's output in time linear in its events: the events at the
        block start (where the harmony voices go, unless they go with their
        event) and the later ones, each list
        in the order added. Since the block's events arrive in order of
        position, the two together are what the framework's addEvent would
        build, without searching or moving anything. */
    class BlockOutput
    {
    public:
        BlockOutput();
        void clear() noexcept;
        void add (const juce::uint8* data, int size, int position) noexcept;
        void add (const juce::MidiMessage& m, int position) noexcept { add (m.getRawData(), m.getRawDataSize(), position); }
        void replaceContentOf (juce::MidiBuffer& destination) const;

    private:
        juce::MidiBuffer atStart, later;
        int numEvents = 0;
        NoteGate gate; // lives as long as the processor: the notes it let out sound on
    };

    void runBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages, bool bypassed);
    void harmonize (int position);
    void endVoices (int position);
    void passController (const juce::uint8* data, int size, int position, bool toBoth);
    void bookChordKey (int note, bool isNoteOn) noexcept;
    void bookSoloKey (int note, bool isNoteOn, juce::uint8 velocity) noexcept;
    void forgetHeldKeys() noexcept;
    void pollAudioThreadFlags();
    void notifyChange() noexcept { hasChanged.store (true, std::memory_order_relaxed); }
    bool learnFrom (const juce::MidiMessage& m, int note, bool isNoteOn);
    void routeNoteEvent (const juce::MidiMessage& m, int note, bool isNoteOn, int position, bool bypassed);
    Area areaOf (int note) const noexcept;
    int channelForNewNote (const juce::MidiMessage& m, Area area, bool bypassed) const;
    Strike& strikeReleasedBy (const juce::MidiMessage& m, int note);
    void noteStruck (const juce::MidiMessage& m, int note, Area area, int channel);
    void noteReleased (Strike& strike, int note);
    void panic (const juce::MidiMessage& controller, int position);
    void silenceVoices (int position);
    static int limitChannel (int channel) noexcept;
    std::array<std::atomic<int32_t>*, Settings::count> settingsByKey();
    void loadSettings (const std::function<void (const StateChunk::Store&)>& read);
    Settings::Values currentSettings();

    std::array<KeyRoute, 128> keyRoutes {};
    std::array<std::array<Strike, 128>, 16> strikes {}; // by input channel and key
    std::array<juce::uint8, 128> chordStrikes {}; // entries of each key in chordNotes
    std::array<juce::uint64, 2> soloKeysDown {}; // keys whose soloNotes list is not empty
    int numSoloKeysDown = 0;
    int harmonyChannel = 2; // the channel on which harmonyNotes were sent
    // Per pedal (sustain, sostenuto, soft), the output channels (bit n for
    // channel n + 1) where a press went out and no release yet: spread by the
    // setting, or passed on as it came.
    std::array<uint16_t, 3> spreadPedals {}, passedPedals {};
    int firstSoundingVoice = 0; // harmonyNotes below it were left out by the cap
    BlockOutput output;

    // The audio thread only raises these; the message thread's timer acts on
    // them (change messages, the refused-split-point box), so that the audio
    // thread never posts a message, waits for the user, or enters the kernel.
    std::atomic<bool> hasChanged { false }, splitPointRefused { false };

    /** The message thread's poll of those flags. A member, not a base: it is
        complete when it starts, while the constructor of a processor derived
        from this one may still be running (a base's virtual call could see
        that constructor rewrite the object's virtual table). */
    struct FlagPoller final : juce::Timer
    {
        explicit FlagPoller (myAudioProcessor& p) : owner (p) {}
        void timerCallback() override { owner.pollAudioThreadFlags(); }
        myAudioProcessor& owner;
    };
    FlagPoller flagPoller { *this };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (myAudioProcessor)
};
