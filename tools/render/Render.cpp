#include "Render.h"

#include "PianoRoll.h"
#include "TimeMap.h"
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
//==============================================================================
namespace
{
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
    auto values = Settings::defaults(); // what a chunk without an added key means
    StateChunk::read (current, (int) size, [&] (Settings::Key key, int32_t value) { values[(size_t) key] = value; });

    for (size_t k = 0; k < values.size(); ++k)
        if (o.settings[k].has_value())
            values[k] = *o.settings[k];

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
// The plug-in, loaded and switched on as an offline host does.
struct LoadedPlugin
{
    explicit LoadedPlugin (const Options& o) : library (o.pluginPath), plugin (library, offlineHost())
    {
        if (! library.isLoaded())
            throw Error ("cannot load the plug-in: " + library.getError());

        if (! plugin.isLoaded())
            throw Error ("the plug-in " + o.pluginPath + " refused to start");

        applySettings (plugin, o);
        plugin.dispatch (effSetSampleRate, 0, 0, nullptr, (float) o.sampleRate);
        plugin.dispatch (effSetBlockSize, 0, o.blockSize);
        plugin.dispatch (effMainsChanged, 0, 1);
    }

    static vsthost::HostBehaviour offlineHost()
    {
        vsthost::HostBehaviour offline;
        offline.processLevel = kVstProcessLevelOffline;
        return offline;
    }

    vsthost::Library library;
    vsthost::Plugin plugin;
};

/** Every channel and system event of every track, in order of time; meta
    events stay in the file. */
std::vector<TimedEvent> eventsToPlay (const juce::MidiFile& midi, const TimeMap& time, double sampleRate)
{
    std::vector<TimedEvent> events;

    for (int t = 0; t < midi.getNumTracks(); ++t)
    {
        for (auto* e : *midi.getTrack (t))
        {
            const auto& m = e->message;

            if (m.isMetaEvent())
                continue;

            TimedEvent ev;
            ev.tick = m.getTimeStamp();
            ev.sample = (int64_t) std::llround (time.toSeconds (ev.tick) * sampleRate);
            ev.bytes.assign (m.getRawData(), m.getRawData() + m.getRawDataSize());
            events.push_back (std::move (ev));
        }
    }

    std::stable_sort (events.begin(), events.end(), [] (const TimedEvent& a, const TimedEvent& b) { return a.sample < b.sample; });
    return events;
}

/** Where the block that starts at blockStart ends. By default a block begins at
    every event, so a voice lands exactly on the tick of the note that caused
    it; with fixed blocks they are cut as a live host cuts them. */
int64_t blockEndFor (const Options& o, const std::vector<TimedEvent>& input, size_t next, int64_t blockStart)
{
    int64_t blockEnd = blockStart + o.blockSize;

    if (! o.fixedBlocks)
    {
        while (next < input.size() && input[next].sample == blockStart)
            ++next;
        if (next < input.size())
            blockEnd = std::min (blockEnd, input[next].sample);
    }

    return blockEnd;
}

/** Plays the input through the plug-in block by block; returns what it sent, at sample positions. */
std::vector<TimedEvent> renderBlocks (const Options& o, vsthost::Plugin& plugin, const std::vector<TimedEvent>& input)
{
    const int64_t endSample = (input.empty() ? 0 : input.back().sample) + o.blockSize;
    const bool showProgress = o.progress && isatty (STDERR_FILENO) && input.size() > 2000;
    vsthost::AudioBlock audio (2, o.blockSize);
    std::vector<TimedEvent> sent;
    size_t next = 0;

    for (int64_t blockStart = 0; blockStart <= endSample;)
    {
        const int64_t blockEnd = blockEndFor (o, input, next, blockStart);
        vsthost::EventBlock events;

        for (; next < input.size() && input[next].sample < blockEnd; ++next)
        {
            const auto& b = input[next].bytes;
            const int position = (int) (input[next].sample - blockStart);

            if (b.size() <= 4)
                events.midi (position, b[0], b.size() > 1 ? b[1] : 0, b.size() > 2 ? b[2] : 0);
            else
                events.sysex (position, b);
        }

        plugin.forgetReceivedEvents();
        if (events.size() > 0)
            plugin.sendEvents (events);
        plugin.processReplacing (audio.inputPointers.data(), audio.outputPointers.data(), (int) (blockEnd - blockStart));

        for (auto& r : plugin.getReceivedEvents())
        {
            TimedEvent ev;
            ev.sample = blockStart + r.deltaFrames;
            ev.bytes = r.type == kVstSysExType ? r.sysex
                                               : std::vector<uint8_t> (r.midi.begin(), r.midi.begin() + juce::MidiMessage::getMessageLengthFromFirstByte (r.midi[0]));
            sent.push_back (std::move (ev));
        }

        if (showProgress && (blockStart / o.blockSize) % 256 == 0)
            progressBar ((double) blockStart / (double) std::max<int64_t> (1, endSample));

        blockStart = blockEnd;
    }

    if (showProgress)
    {
        progressBar (1.0);
        std::fputc ('\n', stderr);
    }

    return sent;
}

/** Output events that copy an input event keep its tick exactly; voices and
    anything else take the tick of their sample position. */
void placeOnTicks (std::vector<TimedEvent>& output, const std::vector<TimedEvent>& input, const TimeMap& time, double sampleRate)
{
    std::multimap<int64_t, size_t> inputAt;
    for (size_t i = 0; i < input.size(); ++i)
        inputAt.emplace (input[i].sample, i);

    std::vector<bool> used (input.size(), false);

    for (auto& ev : output)
    {
        std::optional<double> tick;
        double firstTickHere = -1;

        for (auto [it, end] = inputAt.equal_range (ev.sample); it != end; ++it)
        {
            if (firstTickHere < 0 || input[it->second].tick < firstTickHere)
                firstTickHere = input[it->second].tick;

            if (! tick && ! used[it->second] && isCopyOf (ev.bytes, input[it->second].bytes))
            {
                used[it->second] = true;
                tick = input[it->second].tick;
            }
        }

        ev.isVoice = ! tick && isNoteEvent (ev.bytes);
        ev.tick = tick ? *tick : firstTickHere >= 0 ? firstTickHere
                                                    : std::round (time.toTick ((double) ev.sample / sampleRate));
        ev.tick = std::max (0.0, ev.tick);
    }
}

void countNotes (Result& result)
{
    for (auto& e : result.input)
        result.numNotesIn += isNoteOn (e.bytes) ? 1 : 0;

    for (auto& e : result.output)
    {
        result.numNotesOut += isNoteOn (e.bytes) ? 1 : 0;
        result.numVoices += isNoteOn (e.bytes) && e.isVoice ? 1 : 0;
    }
}

/** The input's time format, tempo map and meta events; the plug-in's events
    in a track of their own (format 1) or merged (format 0). */
juce::MidiFile outputFile (const juce::MidiFile& midi, int format, const std::vector<TimedEvent>& output)
{
    juce::MidiFile out;
    if (midi.getTimeFormat() > 0)
        out.setTicksPerQuarterNote (midi.getTimeFormat());
    else
        out.setSmpteTimeFormat (-(midi.getTimeFormat() >> 8), midi.getTimeFormat() & 0xff);

    juce::MidiMessageSequence played;
    for (auto& e : output)
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
        return out;
    }

    for (auto& track : metaTracks)
        out.addTrack (track);

    played.addEvent (juce::MidiMessage::textMetaEvent (3, "Polyquinta"), 0.0);
    played.sort();
    out.addTrack (played);
    return out;
}

void writePianoRoll (const Options& o, vsthost::Plugin& plugin, const Result& result, const TimeMap& time)
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
} // namespace

//==============================================================================
Result run (const Options& o)
{
    int format = 1;
    Result result;
    result.source = readMidiFile (o.input, format);
    const TimeMap time (result.source);
    result.input = eventsToPlay (result.source, time, o.sampleRate);
    result.secondsOfMusic = result.input.empty() ? 0.0 : (double) result.input.back().sample / o.sampleRate;

    LoadedPlugin loaded (o);
    const auto started = std::chrono::steady_clock::now();
    result.output = renderBlocks (o, loaded.plugin, result.input);
    loaded.plugin.dispatch (effMainsChanged, 0, 0);
    result.secondsTaken = std::chrono::duration<double> (std::chrono::steady_clock::now() - started).count();

    placeOnTicks (result.output, result.input, time, o.sampleRate);
    countNotes (result);

    const auto out = outputFile (result.source, format, result.output);
    writeAtomically (o.output, [&] (juce::OutputStream& stream) { return out.writeTo (stream, format == 0 ? 0 : 1); });

    if (! o.pianoRollPath.empty())
        writePianoRoll (o, loaded.plugin, result, time);

    return result;
}
} // namespace render
