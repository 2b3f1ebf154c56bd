#pragma once

#include "NoteGate.h"
#include "Settings.h"
#include "StateChunk.h"
#include "Voicing.h"

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
    /** How the plug-in that holds the processor makes its editor. The
        processor does not know the editor; the plug-in brings the two together. */
    using EditorFactory = juce::AudioProcessorEditor* (*) (myAudioProcessor&);

    /** Stereo in and out; with an editor only when given a factory. */
    explicit myAudioProcessor (EditorFactory makeEditor = nullptr);
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
    /** The settings, one per row of the settings table: written by the editor
        and the saved state on the message thread, read by the block function
        once at its start, and some written by it (the learned split point,
        the harmony switch). Any thread. */
    int32_t get (Settings::Key k) const noexcept { return settings[(size_t) k].load(); }
    void set (Settings::Key k, int32_t value) noexcept { settings[(size_t) k].store (value); }
    Settings::Values currentSettings() const noexcept;

    std::atomic<bool> learnSplitPoint { false };

    juce::MidiKeyboardState keyboardState;

    static constexpr int maxStrikesPerKey = Harmony::maxStrikesPerKey;
    using NoteList = Harmony::NoteList;

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
    myAudioProcessor (const BusesProperties& buses, EditorFactory makeEditor);

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
    void prepareVoices() noexcept;
    void endReplacedVoices (int position, bool notify);
    void startNewVoices (int position);
    /** Ends the sounding voices; a panic or the bypass does so without a change message. */
    void endVoices (int position, bool notify = true);
    void switchHarmony (const juce::uint8* data, int size, int position);
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
    static int limitChannel (int channel) noexcept;
    int voicesChannel() const noexcept;
    bool holdsVoices() const noexcept;
    void loadSettings (const std::function<void (const StateChunk::Store&)>& read);
    void setFromBlock (Settings::Key k, int32_t value) noexcept;

    std::array<std::atomic<int32_t>, Settings::count> settings;
    // What the block plays by: read once at its start, so that a change from
    // the editor lands between two blocks, never inside one.
    Settings::Values playing = Settings::defaults();
    Harmony::MelodyKeys melodyKeys; // the held melody keys of the update under way
    NoteList nextVoices; // the update's voicing, before it replaces harmonyNotes
    int nextFirstSounding = 0, nextChannel = 2;
    juce::uint8 nextVelocity = 0;
    NoteList chordMemory; // the last chord of two or more keys, while the player keeps one
    // A state loaded: the next harmony update sends its voicing whole, held voices or not.
    std::atomic<bool> stateLoaded { false };
    bool voiceWhole = false;
    const EditorFactory editorFactory;

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
