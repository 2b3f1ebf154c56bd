#include "Render.h"

#include "PianoRoll.h"
#include "StateChunk.h"
#include "VstHost.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <unistd.h>

namespace render
{
namespace
{
int parseInteger (const std::string& text, const std::string& option, int lo, int hi)
{
    char* end = nullptr;
    const long value = std::strtol (text.c_str(), &end, 10);

    if (text.empty() || end == nullptr || *end != 0 || value < lo || value > hi)
        throw Error ("option " + option + " takes a whole number from " + std::to_string (lo) + " to "
                     + std::to_string (hi) + ", not '" + text + "'");

    return (int) value;
}

bool parseSwitch (const std::string& text, const std::string& option)
{
    if (text == "on")
        return true;
    if (text == "off")
        return false;
    throw Error ("option " + option + " takes on or off, not '" + text + "'");
}

std::string defaultPluginPath()
{
    // Next to the tools in the build tree, or where the build put it.
    const auto exe = juce::File::getSpecialLocation (juce::File::currentExecutableFile);
    const auto sibling = exe.getParentDirectory().getParentDirectory().getChildFile ("plugin/Polyquinta.so");
    return sibling.existsAsFile() ? sibling.getFullPathName().toStdString() : std::string (POLYQUINTA_PLUGIN_PATH);
}
} // namespace

int parseNote (const std::string& text)
{
    if (! text.empty() && std::isdigit ((unsigned char) text[0]))
        return parseInteger (text, "--split", 0, 127);

    static const std::map<char, int> pitchClasses { { 'C', 0 }, { 'D', 2 }, { 'E', 4 }, { 'F', 5 }, { 'G', 7 }, { 'A', 9 }, { 'B', 11 } };
    const auto bad = Error ("option --split takes a note number from 0 to 127 or a name such as C3 or F#4, not '" + text + "'");

    if (text.empty() || pitchClasses.count ((char) std::toupper ((unsigned char) text[0])) == 0)
        throw bad;

    int note = pitchClasses.at ((char) std::toupper ((unsigned char) text[0]));
    size_t i = 1;

    if (i < text.size() && (text[i] == '#' || text[i] == 'b'))
        note += text[i++] == '#' ? 1 : -1;

    char* end = nullptr;
    const auto rest = text.substr (i);
    const long octave = std::strtol (rest.c_str(), &end, 10);

    if (rest.empty() || *end != 0)
        throw bad;

    const long number = (octave + 1) * 12 + note; // middle C, 60, is C4

    if (number < 0 || number > 127)
        throw bad;

    return (int) number;
}

std::string usage()
{
    return "usage: polyquinta-render IN.mid OUT.mid [options]\n"
           "  --split NOTE            split point: a number or a name such as C3 (middle C is C4)\n"
           "  --chord-channel N       MIDI channel of the chord notes, 1 to 16\n"
           "  --solo-channel N        MIDI channel of the melody and the harmony voices, 1 to 16\n"
           "  --harmony-cc N          controller that switches harmony on and off, 1 to 127\n"
           "  --max-voices N          most melody keys plus voices at once, 1 to 10\n"
           "  --chord-thru on|off     pass the chord notes on\n"
           "  --harmony on|off        build harmony voices\n"
           "  --state FILE            start from a saved state (from --save-state or a host)\n"
           "  --save-state FILE       write the settings used as a saved state\n"
           "  --sample-rate HZ        render sample rate (default 44100)\n"
           "  --block-size N          samples per block (default 512)\n"
           "  --fixed-blocks          fixed blocks as in a live host (voices may come up to a block early)\n"
           "  --print                 list input and output notes\n"
           "  --piano-roll FILE.png   draw input and output as a piano roll\n"
           "  --plugin PATH           the plug-in library to use\n"
           "  --no-progress           no progress bar\n";
}

Options parseCommandLine (const std::vector<std::string>& args)
{
    Options o;
    std::vector<std::string> positional;

    for (size_t i = 0; i < args.size(); ++i)
    {
        const auto& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw Error ("option " + a + " needs a value");
            return args[++i];
        };

        if (a == "--split")                 o.splitPoint = parseNote (value());
        else if (a == "--chord-channel")    o.chordChannel = parseInteger (value(), a, 1, 16);
        else if (a == "--solo-channel")     o.soloChannel = parseInteger (value(), a, 1, 16);
        else if (a == "--harmony-cc")       o.harmonyController = parseInteger (value(), a, 1, 127);
        else if (a == "--max-voices")       o.maxVoices = parseInteger (value(), a, 1, 10);
        else if (a == "--chord-thru")       o.chordThru = parseSwitch (value(), a) ? 1 : 0;
        else if (a == "--harmony")          o.harmony = parseSwitch (value(), a) ? 1 : 0;
        else if (a == "--state")            o.statePath = value();
        else if (a == "--save-state")       o.saveStatePath = value();
        else if (a == "--sample-rate")      o.sampleRate = parseInteger (value(), a, 8000, 384000);
        else if (a == "--block-size")       o.blockSize = parseInteger (value(), a, 1, 8192);
        else if (a == "--fixed-blocks")     o.fixedBlocks = true;
        else if (a == "--print")            o.print = true;
        else if (a == "--piano-roll")       o.pianoRollPath = value();
        else if (a == "--plugin")           o.pluginPath = value();
        else if (a == "--no-progress")      o.progress = false;
        else if (a.size() > 1 && a[0] == '-') throw Error ("unknown option " + a);
        else                                positional.push_back (a);
    }

    if (positional.size() != 2)
        throw Error ("expected an input and an output MIDI file");

    o.input = positional[0];
    o.output = positional[1];

    if (o.pluginPath.empty())
        o.pluginPath = defaultPluginPath();

    return o;
}

//==============================================================================
namespace
{
/** Ticks to seconds and back, through the file's tempo map. */
class TimeMap
{
public:
    explicit TimeMap (const juce::MidiFile& file)
    {
        const auto format = file.getTimeFormat();

        if (format < 0)
        {
            // SMPTE: frames per second times ticks per frame.
            const double fps = -(format >> 8) == 29 ? 29.97 : (double) -(format >> 8);
            secondsPerTickFixed = 1.0 / (fps * (format & 0xff));
            return;
        }

        ticksPerQuarter = format > 0 ? format : 96;
        juce::MidiMessageSequence tempos;
        file.findAllTempoEvents (tempos);
        tempos.sort();

        segments.push_back ({ 0.0, 0.0, 0.5 / ticksPerQuarter });

        for (auto* e : tempos)
        {
            const double tick = e->message.getTimeStamp();
            const double secondsPerQuarter = e->message.getTempoSecondsPerQuarterNote();

            if (secondsPerQuarter <= 0)
                continue;

            const auto& last = segments.back();
            const double seconds = last.seconds + (tick - last.tick) * last.secondsPerTick;

            if (tick == last.tick)
                segments.back().secondsPerTick = secondsPerQuarter / ticksPerQuarter;
            else
                segments.push_back ({ tick, seconds, secondsPerQuarter / ticksPerQuarter });
        }
    }

    double toSeconds (double tick) const
    {
        if (segments.empty())
            return tick * secondsPerTickFixed;

        auto it = std::upper_bound (segments.begin(), segments.end(), tick, [] (double t, const Segment& s) { return t < s.tick; });
        const auto& s = *std::prev (it);
        return s.seconds + (tick - s.tick) * s.secondsPerTick;
    }

    double toTick (double seconds) const
    {
        if (segments.empty())
            return seconds / secondsPerTickFixed;

        auto it = std::upper_bound (segments.begin(), segments.end(), seconds, [] (double t, const Segment& s) { return t < s.seconds; });
        const auto& s = *std::prev (it);
        return s.tick + (seconds - s.seconds) / s.secondsPerTick;
    }

    int getTicksPerQuarter() const { return ticksPerQuarter; }

private:
    struct Segment
    {
        double tick, seconds, secondsPerTick;
    };

    std::vector<Segment> segments;
    double secondsPerTickFixed = 0;
    int ticksPerQuarter = 0;
};

juce::MidiFile readMidiFile (const std::string& path, int& format)
{
    const juce::File file (juce::File::getCurrentWorkingDirectory().getChildFile (path));

    if (! file.existsAsFile())
        throw Error ("cannot read " + path + ": no such file");

    juce::FileInputStream stream (file);

    if (! stream.openedOk())
        throw Error ("cannot read " + path + ": " + stream.getStatus().getErrorMessage().toStdString());

    juce::MemoryBlock bytes;
    stream.readIntoMemoryBlock (bytes);

    if (bytes.getSize() < 14 || std::memcmp (bytes.getData(), "MThd", 4) != 0)
        throw Error (path + " is not a Standard MIDI File");

    juce::MemoryInputStream memory (bytes, false);
    juce::MidiFile midi;

    if (! midi.readFrom (memory, false, &format))
        throw Error (path + " is damaged or truncated: it cannot be read as a Standard MIDI File");

    return midi;
}

/** Writes to a temporary file next to the destination and renames it, so that
    a failure never leaves a half-written file behind. */
void writeAtomically (const std::string& path, const std::function<bool (juce::OutputStream&)>& write)
{
    const juce::File target (juce::File::getCurrentWorkingDirectory().getChildFile (path));
    juce::TemporaryFile temp (target);

    {
        juce::FileOutputStream out (temp.getFile());

        if (! out.openedOk() || ! write (out))
            throw Error ("cannot write " + path);

        out.flush();

        if (out.getStatus().failed())
            throw Error ("cannot write " + path + ": " + out.getStatus().getErrorMessage().toStdString());
    }

    if (! temp.overwriteTargetFileWithTemporary())
        throw Error ("cannot write " + path);
}

bool isNoteEvent (const std::vector<uint8_t>& b) { return b.size() >= 3 && (b[0] & 0xe0) == 0x80; }
bool isNoteOn (const std::vector<uint8_t>& b) { return isNoteEvent (b) && (b[0] & 0xf0) == 0x90 && b[2] > 0; }

/** Whether an output event is the plug-in's copy of an input event (possibly re-channelled). */
bool isCopyOf (const std::vector<uint8_t>& out, const std::vector<uint8_t>& in)
{
    if (out.size() != in.size() || out.empty())
        return false;

    const bool channelMessage = in[0] >= 0x80 && in[0] < 0xf0;

    if ((channelMessage ? (out[0] & 0xf0) != (in[0] & 0xf0) : out[0] != in[0]))
        return false;

    return std::equal (out.begin() + 1, out.end(), in.begin() + 1);
}

void progressBar (double fraction)
{
    const int width = 40;
    const int filled = (int) std::lround (fraction * width);
    std::fprintf (stderr, "\r[%s%s] %3d%%", std::string ((size_t) filled, '#').c_str(),
                  std::string ((size_t) (width - filled), ' ').c_str(), (int) std::lround (fraction * 100));
    std::fflush (stderr);
}

void applySettings (vsthost::Plugin& plugin, const Options& o)
{
    if (! o.statePath.empty())
    {
        juce::MemoryBlock saved;
        const juce::File file (juce::File::getCurrentWorkingDirectory().getChildFile (o.statePath));

        if (! file.existsAsFile() || ! file.loadFileAsData (saved))
            throw Error ("cannot read the saved state " + o.statePath);

        plugin.dispatch (effSetChunk, 0, (intptr_t) saved.getSize(), saved.getData());
    }

    // Start from what the plug-in holds now, change what the options name, and
    // hand it back the way a host restores a project.
    void* current = nullptr;
    const auto size = plugin.dispatch (effGetChunk, 0, 0, &current);
    Settings::Values values {};
    StateChunk::read (current, (int) size, [&] (Settings::Key key, int32_t value) { values[(size_t) key] = value; });

    const std::pair<const std::optional<int>*, Settings::Key> overrides[] = {
        { &o.chordThru, Settings::chordThru },     { &o.chordChannel, Settings::chanOutChord },
        { &o.soloChannel, Settings::chanOutSolo }, { &o.splitPoint, Settings::splitPoint },
        { &o.harmony, Settings::harmonyEnabled },  { &o.harmonyController, Settings::ccHarmonyCtl },
        { &o.maxVoices, Settings::maxSoloVoices },
    };

    for (auto& [option, key] : overrides)
        if (option->has_value())
            values[(size_t) key] = **option;

    juce::MemoryBlock chunk;
    StateChunk::write (values, chunk);
    plugin.dispatch (effSetChunk, 0, (intptr_t) chunk.getSize(), chunk.getData());

    if (! o.saveStatePath.empty())
    {
        void* data = nullptr;
        const auto bytes = plugin.dispatch (effGetChunk, 0, 0, &data);
        writeAtomically (o.saveStatePath, [&] (juce::OutputStream& out) { return out.write (data, (size_t) bytes); });
    }
}
} // namespace

//==============================================================================
Result run (const Options& o)
{
    int format = 1;
    const auto midi = readMidiFile (o.input, format);
    const TimeMap time (midi);

    Result result;
    result.source = midi;

    // Every channel and system event of every track goes to the plug-in; meta
    // events stay in the file.
    for (int t = 0; t < midi.getNumTracks(); ++t)
    {
        for (auto* e : *midi.getTrack (t))
        {
            const auto& m = e->message;

            if (m.isMetaEvent())
                continue;

            TimedEvent ev;
            ev.tick = m.getTimeStamp();
            ev.sample = (int64_t) std::llround (time.toSeconds (ev.tick) * o.sampleRate);
            ev.bytes.assign (m.getRawData(), m.getRawData() + m.getRawDataSize());
            result.input.push_back (std::move (ev));
        }
    }

    std::stable_sort (result.input.begin(), result.input.end(), [] (const TimedEvent& a, const TimedEvent& b) { return a.sample < b.sample; });

    vsthost::Library library (o.pluginPath);

    if (! library.isLoaded())
        throw Error ("cannot load the plug-in: " + library.getError());

    vsthost::HostBehaviour offline;
    offline.processLevel = kVstProcessLevelOffline;
    vsthost::Plugin plugin (library, offline);

    if (! plugin.isLoaded())
        throw Error ("the plug-in " + o.pluginPath + " refused to start");

    applySettings (plugin, o);
    plugin.dispatch (effSetSampleRate, 0, 0, nullptr, (float) o.sampleRate);
    plugin.dispatch (effSetBlockSize, 0, o.blockSize);
    plugin.dispatch (effMainsChanged, 0, 1);

    const int64_t lastSample = result.input.empty() ? 0 : result.input.back().sample;
    const int64_t endSample = lastSample + o.blockSize;
    result.secondsOfMusic = (double) lastSample / o.sampleRate;

    vsthost::AudioBlock audio (2, o.blockSize);
    const bool showProgress = o.progress && isatty (STDERR_FILENO) && result.input.size() > 2000;
    const auto started = std::chrono::steady_clock::now();

    size_t next = 0;
    int64_t blockStart = 0;
    std::vector<TimedEvent> raw;

    while (blockStart <= endSample)
    {
        // Default: a block begins at every event, so a voice lands exactly on the
        // tick of the note that caused it. Fixed: blocks as a live host makes them.
        int64_t blockEnd = blockStart + o.blockSize;

        if (! o.fixedBlocks)
        {
            size_t after = next;
            while (after < result.input.size() && result.input[after].sample == blockStart)
                ++after;
            if (after < result.input.size())
                blockEnd = std::min (blockEnd, result.input[after].sample);
        }

        vsthost::EventBlock events;

        for (; next < result.input.size() && result.input[next].sample < blockEnd; ++next)
        {
            const auto& ev = result.input[next];
            const int position = (int) (ev.sample - blockStart);

            if (ev.bytes.size() <= 4)
                events.midi (position, ev.bytes[0], ev.bytes.size() > 1 ? ev.bytes[1] : 0, ev.bytes.size() > 2 ? ev.bytes[2] : 0);
            else
                events.sysex (position, ev.bytes);
        }

        const int numSamples = (int) (blockEnd - blockStart);
        plugin.forgetReceivedEvents();

        if (events.size() > 0)
            plugin.sendEvents (events);

        plugin.processReplacing (audio.inputPointers.data(), audio.outputPointers.data(), numSamples);

        for (auto& r : plugin.getReceivedEvents())
        {
            TimedEvent ev;
            ev.sample = blockStart + r.deltaFrames;
            ev.bytes = r.type == kVstSysExType ? r.sysex
                                               : std::vector<uint8_t> (r.midi.begin(), r.midi.begin() + juce::MidiMessage::getMessageLengthFromFirstByte (r.midi[0]));
            raw.push_back (std::move (ev));
        }

        if (showProgress && (blockStart / o.blockSize) % 256 == 0)
            progressBar ((double) blockStart / (double) std::max<int64_t> (1, endSample));

        blockStart = blockEnd;
    }

    plugin.dispatch (effMainsChanged, 0, 0);
    result.secondsTaken = std::chrono::duration<double> (std::chrono::steady_clock::now() - started).count();

    if (showProgress)
    {
        progressBar (1.0);
        std::fputc ('\n', stderr);
    }

    // Output events that copy an input event keep its tick exactly; voices and
    // anything else take the tick of their sample position.
    std::multimap<int64_t, size_t> inputAt;
    for (size_t i = 0; i < result.input.size(); ++i)
        inputAt.emplace (result.input[i].sample, i);

    std::vector<bool> used (result.input.size(), false);

    for (auto& ev : raw)
    {
        std::optional<double> tick;
        double firstTickHere = -1;

        for (auto [it, end] = inputAt.equal_range (ev.sample); it != end; ++it)
        {
            if (firstTickHere < 0 || result.input[it->second].tick < firstTickHere)
                firstTickHere = result.input[it->second].tick;

            if (! tick && ! used[it->second] && isCopyOf (ev.bytes, result.input[it->second].bytes))
            {
                used[it->second] = true;
                tick = result.input[it->second].tick;
            }
        }

        ev.isVoice = ! tick && isNoteEvent (ev.bytes);
        ev.tick = tick ? *tick : firstTickHere >= 0 ? firstTickHere : std::round (time.toTick ((double) ev.sample / o.sampleRate));
        ev.tick = std::max (0.0, ev.tick);
    }

    result.output = std::move (raw);

    for (auto& e : result.input)
        result.numNotesIn += isNoteOn (e.bytes) ? 1 : 0;
    for (auto& e : result.output)
    {
        result.numNotesOut += isNoteOn (e.bytes) ? 1 : 0;
        result.numVoices += isNoteOn (e.bytes) && e.isVoice ? 1 : 0;
    }

    // The output file: the input's time format, tempo map and meta events; the
    // plug-in's events in a track of their own (format 1) or merged (format 0).
    juce::MidiFile out;
    if (midi.getTimeFormat() > 0)
        out.setTicksPerQuarterNote (midi.getTimeFormat());
    else
        out.setSmpteTimeFormat (-(midi.getTimeFormat() >> 8), midi.getTimeFormat() & 0xff);

    juce::MidiMessageSequence played;
    for (auto& e : result.output)
        played.addEvent (juce::MidiMessage (e.bytes.data(), (int) e.bytes.size(), e.tick));

    // Each input track keeps its meta events (the writer adds the end-of-track marks).
    std::vector<juce::MidiMessageSequence> metaTracks ((size_t) midi.getNumTracks());
    for (int t = 0; t < midi.getNumTracks(); ++t)
        for (auto* e : *midi.getTrack (t))
            if (e->message.isMetaEvent() && ! e->message.isEndOfTrackMetaEvent())
                metaTracks[(size_t) t].addEvent (e->message);

    if (format == 0)
    {
        // Meta events first, so that at equal ticks the tempo comes before the notes.
        juce::MidiMessageSequence track;
        for (auto& metas : metaTracks)
            track.addSequence (metas, 0.0);
        track.addSequence (played, 0.0);
        track.sort();
        out.addTrack (track);
    }
    else
    {
        for (auto& track : metaTracks)
            out.addTrack (track);

        played.addEvent (juce::MidiMessage::textMetaEvent (3, "Polyquinta"), 0.0);
        played.sort();
        out.addTrack (played);
    }

    writeAtomically (o.output, [&] (juce::OutputStream& stream) { return out.writeTo (stream, format == 0 ? 0 : 1); });

    if (! o.pianoRollPath.empty())
    {
        void* data = nullptr;
        const auto size = plugin.dispatch (effGetChunk, 0, 0, &data);
        int split = Settings::defaultOf (Settings::splitPoint);
        StateChunk::read (data, (int) size, [&] (Settings::Key key, int32_t value) { if (key == Settings::splitPoint) split = value; });

        const auto image = drawPianoRoll (result, split, time.getTicksPerQuarter());
        writeAtomically (o.pianoRollPath, [&] (juce::OutputStream& stream) {
            juce::PNGImageFormat png;
            return png.writeImageToStream (image, stream);
        });
    }

    return result;
}
} // namespace render
