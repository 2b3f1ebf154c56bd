// polyquinta-render as a user runs it: files in, files out, through the built plug-in.

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_graphics/juce_graphics.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sys/wait.h>

namespace
{
struct Run
{
    int status;
    std::string out, err;
};

Run render (const std::string& arguments)
{
    const auto errFile = juce::File::createTempFile (".err");
    const std::string command = std::string ("'" POLYQUINTA_RENDER_PATH "' ") + arguments + " --no-progress 2>'"
                                + errFile.getFullPathName().toStdString() + "'";

    Run run;
    FILE* pipe = popen (command.c_str(), "r");
    char buffer[4096];
    size_t n;
    while ((n = fread (buffer, 1, sizeof (buffer), pipe)) > 0)
        run.out.append (buffer, n);
    const int status = pclose (pipe);
    run.status = WIFEXITED (status) ? WEXITSTATUS (status) : -1;
    run.err = errFile.loadFileAsString().toStdString();
    errFile.deleteFile();
    return run;
}

struct Note
{
    int tick, channel, number, velocity;
    bool on;
    bool operator<(const Note& o) const { return std::tie (tick, channel, number, on, velocity) < std::tie (o.tick, o.channel, o.number, o.on, o.velocity); }
    bool operator== (const Note& o) const { return ! (*this < o) && ! (o < *this); }
};

std::vector<Note> notesIn (const juce::File& file, int* format = nullptr, int* numTracks = nullptr)
{
    juce::FileInputStream in (file);
    juce::MidiFile midi;
    int type = -1;
    EXPECT_TRUE (midi.readFrom (in, false, &type)) << file.getFullPathName();
    if (format != nullptr)
        *format = type;
    if (numTracks != nullptr)
        *numTracks = midi.getNumTracks();

    std::vector<Note> notes;
    for (int t = 0; t < midi.getNumTracks(); ++t)
        for (auto* e : *midi.getTrack (t))
            if (e->message.isNoteOnOrOff())
                notes.push_back ({ (int) e->message.getTimeStamp(), e->message.getChannel(), e->message.getNoteNumber(),
                                   e->message.getVelocity(), e->message.isNoteOn() });
    std::sort (notes.begin(), notes.end());
    return notes;
}

class RenderTool : public ::testing::Test
{
protected:
    juce::File file (const std::string& name) const { return folder.getChildFile (name); }
    std::string path (const std::string& name) const { return "'" + file (name).getFullPathName().toStdString() + "'"; }

    /** Writes a file of one or more tracks: (tick, status, data1, data2) per event. */
    void write (const std::string& name, const std::vector<std::vector<std::array<int, 4>>>& tracks, int ppq = 480,
                std::vector<std::pair<int, double>> tempos = { { 0, 120.0 } }, int format = 1)
    {
        juce::MidiFile midi;
        midi.setTicksPerQuarterNote (ppq);

        juce::MidiMessageSequence conductor;
        for (auto [tick, bpm] : tempos)
            conductor.addEvent (juce::MidiMessage::tempoMetaEvent ((int) (60000000.0 / bpm)), tick);

        std::vector<juce::MidiMessageSequence> sequences;
        for (auto& events : tracks)
        {
            juce::MidiMessageSequence seq;
            for (auto [tick, status, d1, d2] : events)
                seq.addEvent (juce::MidiMessage (status, d1, d2), tick);
            sequences.push_back (seq);
        }

        if (format == 0)
        {
            for (auto& seq : sequences)
                conductor.addSequence (seq, 0.0);
            conductor.sort();
            midi.addTrack (conductor);
        }
        else
        {
            midi.addTrack (conductor);
            for (auto& seq : sequences)
                midi.addTrack (seq);
        }

        juce::FileOutputStream out (file (name));
        out.setPosition (0);
        out.truncate();
        ASSERT_TRUE (midi.writeTo (out, format));
    }

    juce::TemporaryFile temp { "render-tests" };
    juce::File folder = [this] { temp.getFile().createDirectory(); return temp.getFile(); }();
};

//==============================================================================
TEST_F (RenderTool, DemoGetsTheVoicesTheRulesPredictPrintedAndDrawn)
{
    const auto run = render ("'" POLYQUINTA_DEMO_SONG "' " + path ("out.mid") + " --print --piano-roll " + path ("roll.png"));
    ASSERT_EQ (run.status, 0) << run.err;
    EXPECT_NE (run.out.find ("46 notes in"), std::string::npos) << run.out;
    EXPECT_NE (run.out.find ("   1:1.00    2  C3   ( 60)   92   voice"), std::string::npos) << run.out;
    EXPECT_NE (run.out.find ("   3:3.00    1  F4   ( 77)  100\n"), std::string::npos) << run.out;
    const auto image = juce::ImageFileFormat::loadFrom (file ("roll.png"));
    EXPECT_TRUE (image.isValid());
    EXPECT_GT (image.getWidth(), 600);

    const auto notes = notesIn (file ("out.mid"));
    auto onsAt = [&] (int tick, int channel) {
        std::vector<int> found;
        for (auto& n : notes)
            if (n.on && n.tick == tick && n.channel == channel)
                found.push_back (n.number * 1000 + n.velocity);
        std::sort (found.begin(), found.end());
        return found;
    };

    // Bar 1, beat 1: C major held, melody C4 (velocity 92): C3 E3 G3 under it.
    EXPECT_EQ (onsAt (0, 2), (std::vector<int> { 60092, 64092, 67092, 72092 }));
    // Bar 1, beat 2: melody D4 (84): voices up to C4, the C now an octave higher.
    EXPECT_EQ (onsAt (480, 2), (std::vector<int> { 64084, 67084, 72084, 74084 }));
    // Bar 3: F major (F0 A0 C1) under melody A3 (86): F3 65, A2 57, C3 60.
    EXPECT_EQ (onsAt (3840, 2), (std::vector<int> { 57086, 60086, 65086, 69086 }));
    // The chord itself passes through on channel 1.
    EXPECT_EQ (onsAt (3840, 1), (std::vector<int> { 29072, 33072, 36072 }));
}

// The last note of the file, at its very end, comes back too.
TEST_F (RenderTool, RoundTripWithHarmonyOffOnlyRechannels)
{
    write ("in.mid", { { { 0, 0x90, 36, 70 }, { 0, 0x90, 40, 71 }, { 960, 0x80, 36, 0 }, { 961, 0x80, 40, 12 } },
                       { { 5, 0x93, 72, 90 }, { 13, 0x93, 74, 91 }, { 477, 0x83, 72, 0 }, { 999, 0x93, 74, 0 }, { 1920, 0x93, 79, 99 } } });

    const auto run = render (path ("in.mid") + " " + path ("out.mid") + " --harmony off --chord-thru on --chord-channel 4 --solo-channel 11");
    ASSERT_EQ (run.status, 0) << run.err;

    auto expected = notesIn (file ("in.mid"));
    for (auto& n : expected)
        n.channel = n.number < 48 ? 4 : 11;
    std::sort (expected.begin(), expected.end());

    int format = 0, tracks = 0;
    EXPECT_EQ (notesIn (file ("out.mid"), &format, &tracks), expected);
    EXPECT_EQ (format, 1);
    EXPECT_EQ (tracks, 4); // the input's three tracks, with their meta events, and the plug-in's
}

TEST_F (RenderTool, TempoChangesAndFormatZeroKeepVoicesOnTheirMelodyTicks)
{
    std::vector<std::array<int, 4>> events { { 0, 0x90, 36, 80 }, { 0, 0x90, 40, 80 }, { 0, 0x90, 43, 80 } };
    for (int i = 0; i < 40; ++i)
    {
        const int tick = 7 + i * 233;
        events.push_back ({ tick, 0x90, 60 + (i * 5) % 24, 90 });
        events.push_back ({ tick + 200, 0x80, 60 + (i * 5) % 24, 0 });
    }

    for (int format : { 0, 1 })
    {
        SCOPED_TRACE ("format " + std::to_string (format));
        write ("tempo.mid", { events }, 480, { { 0, 120.0 }, { 2000, 71.5 }, { 5000, 187.0 } }, format);

        const auto run = render (path ("tempo.mid") + " " + path ("out.mid"));
        ASSERT_EQ (run.status, 0) << run.err;

        std::set<int> inputTicks;
        for (auto& n : notesIn (file ("tempo.mid")))
            inputTicks.insert (n.tick);

        int voices = 0, outFormat = -1;
        for (auto& n : notesIn (file ("out.mid"), &outFormat))
        {
            EXPECT_EQ (inputTicks.count (n.tick), 1u) << "note " << n.number << " at tick " << n.tick;
            voices += n.channel == 2 && n.on ? 1 : 0;
        }

        EXPECT_EQ (outFormat, format);
        EXPECT_GT (voices, 80);
    }
}

TEST_F (RenderTool, FixedBlocksPlaceVoicesAtMostOneBlockEarly)
{
    // 48 kHz, 120 BPM and 375 ticks per quarter: one tick is exactly 64 samples, a block of 512 is 8 ticks.
    std::vector<std::array<int, 4>> events { { 0, 0x90, 36, 80 }, { 0, 0x90, 40, 80 } };
    for (int i = 0; i < 30; ++i)
    {
        const int tick = 3 + i * 13;
        events.push_back ({ tick, 0x90, 64 + (i % 7), 90 });
        events.push_back ({ tick + 9, 0x80, 64 + (i % 7), 0 });
    }
    events.push_back ({ 8, 0x90, 41, 60 }); // exactly on a block boundary
    events.push_back ({ 16, 0x80, 41, 0 });
    write ("fixed.mid", { events }, 375);

    const auto run = render (path ("fixed.mid") + " " + path ("out.mid") + " --fixed-blocks --sample-rate 48000 --block-size 512");
    ASSERT_EQ (run.status, 0) << run.err;
    EXPECT_NE (run.out.find ("fixed blocks of 512 samples"), std::string::npos);

    std::vector<int> triggers;
    for (auto& e : events)
        triggers.push_back (e[0]);
    std::sort (triggers.begin(), triggers.end());

    for (auto& n : notesIn (file ("out.mid")))
    {
        if (n.channel != 2 || n.number >= 64)
            continue; // melody copies keep their own ticks

        // A voice sits at the start of the block of the event that caused it.
        const auto trigger = std::lower_bound (triggers.begin(), triggers.end(), n.tick);
        ASSERT_NE (trigger, triggers.end()) << "voice " << n.number << " at " << n.tick << " after every event";
        EXPECT_LT (*trigger - n.tick, 8) << "voice " << n.number << " at " << n.tick;
        EXPECT_EQ (n.tick % 8, 0) << "voice not at a block start";
    }

    // The pass-through notes keep their ticks, the block-boundary ones included.
    const auto out = notesIn (file ("out.mid"));
    EXPECT_EQ (std::count (out.begin(), out.end(), Note { 8, 1, 41, 60, true }), 1);
    EXPECT_EQ (std::count (out.begin(), out.end(), Note { 16, 1, 41, 0, false }), 1);
}

TEST_F (RenderTool, SavedStateCarriesTheSettings)
{
    auto run = render ("'" POLYQUINTA_DEMO_SONG "' " + path ("a.mid") + " --split G2 --solo-channel 6 --pedals-to-both on --voices-with-melody on --save-state " + path ("s.state"));
    ASSERT_EQ (run.status, 0) << run.err;

    juce::MemoryBlock state;
    ASSERT_TRUE (file ("s.state").loadFileAsData (state));
    EXPECT_EQ (std::memcmp (state.getData(), "VC2!", 4), 0);
    const std::string bytes (static_cast<const char*> (state.getData()), state.getSize());
    EXPECT_NE (bytes.find ("<chanOutSolo>6</chanOutSolo><splitPoint>55</splitPoint>"), std::string::npos);
    EXPECT_NE (bytes.find ("<voicesWithMelody>1</voicesWithMelody><pedalsToBoth>1</pedalsToBoth></Root>"), std::string::npos);

    write ("in.mid", { { { 0, 0x90, 54, 80 }, { 10, 0x90, 55, 80 } } });
    run = render (path ("in.mid") + " " + path ("b.mid") + " --state " + path ("s.state"));
    ASSERT_EQ (run.status, 0) << run.err;
    EXPECT_EQ (notesIn (file ("b.mid")), (std::vector<Note> { { 0, 1, 54, 80, true }, { 10, 6, 55, 80, true } }));
}

//==============================================================================
TEST_F (RenderTool, BadInputGetsOneLineAndNoOutput)
{
    write ("good.mid", { { { 0, 0x90, 60, 80 } } });
    file ("text.mid").replaceWithText ("this is not a MIDI file at all\n");

    juce::MemoryBlock good;
    file ("good.mid").loadFileAsData (good);
    file ("truncated.mid").replaceWithData (good.getData(), good.getSize() - 5);

    const std::pair<std::string, std::string> cases[] = {
        { path ("missing.mid") + " " + path ("out.mid"), "no such file" },
        { path ("text.mid") + " " + path ("out.mid"), "is not a Standard MIDI File" },
        { path ("truncated.mid") + " " + path ("out.mid"), "damaged or truncated" },
        { path ("good.mid") + " " + path ("out.mid") + " --solo-channel 17", "--solo-channel takes a whole number from 1 to 16" },
        { path ("good.mid") + " " + path ("out.mid") + " --split H9", "--split takes a note number" },
        { path ("good.mid") + " " + path ("out.mid") + " --harmony maybe", "--harmony takes on or off" },
        { path ("good.mid") + " " + path ("out.mid") + " --plugin /nonexistent/Polyquinta.so", "cannot load the plug-in" },
        { path ("good.mid") + " " + path ("out.mid") + " --state " + path ("missing.state"), "cannot read the saved state" },
        { path ("good.mid"), "expected an input and an output" },
    };

    for (auto& [arguments, message] : cases)
    {
        SCOPED_TRACE (arguments);
        const auto run = render (arguments);
        EXPECT_EQ (run.status, 1);
        EXPECT_NE (run.err.find (message), std::string::npos) << run.err;
        EXPECT_EQ (std::count (run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_FALSE (file ("out.mid").exists());
        EXPECT_EQ (folder.getNumberOfChildFiles (juce::File::findFiles, "*.tmp"), 0);
    }
}
} // namespace
