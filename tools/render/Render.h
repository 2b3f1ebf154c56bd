#pragma once

// polyquinta-render: plays a Standard MIDI File through the built plug-in,
// as a host would, and writes what the plug-in answers as a MIDI file. One
// thread, offline: it allocates and blocks freely.

#include "Settings.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace render
{
/** A failure the user can act on: one line, no crash. */
struct Error : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

struct Options
{
    std::string input, output, pluginPath, statePath, saveStatePath, pianoRollPath;
    double sampleRate = 44100.0;
    int blockSize = 512;
    bool fixedBlocks = false;
    bool print = false;
    bool progress = true;

    // Settings handed to the plug-in as a saved-state chunk, by the settings
    // table's key; unset ones keep the plug-in's (or the loaded state's) value.
    std::array<std::optional<int>, Settings::count> settings;
};

/** Parses the command line; throws Error with a message for the user. */
Options parseCommandLine (const std::vector<std::string>& args);

std::string usage();

/** One MIDI event at an absolute position. */
struct TimedEvent
{
    double tick = 0; // in the file's time units
    int64_t sample = 0; // at the render's sample rate
    std::vector<uint8_t> bytes;
    bool isVoice = false; // output only: a harmony voice, not a copy of an input event
};

inline bool isNoteEvent (const std::vector<uint8_t>& b) { return b.size() >= 3 && (b[0] & 0xe0) == 0x80; }
inline bool isNoteOn (const std::vector<uint8_t>& b) { return isNoteEvent (b) && (b[0] & 0xf0) == 0x90 && b[2] > 0; }

struct Result
{
    juce::MidiFile source; // the input file as read
    std::vector<TimedEvent> input, output;
    int numNotesIn = 0, numNotesOut = 0, numVoices = 0;
    double secondsOfMusic = 0, secondsTaken = 0;
};

/** The whole job: read, render, write. Throws Error. */
Result run (const Options& options);
} // namespace render
