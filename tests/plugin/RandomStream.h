#pragma once

// A random stream of chords, melodies and host actions, the player that plays
// it through a plug-in of any format, and the check that nothing is left
// sounding after it: shared by the tests of every format.

#include "Events.h"
#include "NoteLedger.h"
#include "SettingsText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

/** The channel the stream's keyboard plays on, as a musician counts. */
inline constexpr int keyboardChannel = 5;

/** Plays streams through one plug-in and follows its output in a ledger. A
    Format runs a block of events (`run`) and answers what came back as the
    VST host receives it; `bypass`, `restartPlayback` and `load` (setting
    elements) are what a host does between blocks. */
template <typename Format>
struct StreamPlayer
{
    template <typename... Args>
    explicit StreamPlayer (Args&&... args) : format (std::forward<Args> (args)...)
    {
    }

    void press (int key, int position = 0, int velocity = 100) { pending.push_back (on (keyboardChannel, key, velocity, position)); }
    void release (int key, int position = 0) { pending.push_back (off (keyboardChannel, key, 0, position)); }
    void controller (int number, int value, int channel = keyboardChannel) { pending.push_back (cc (channel, number, value)); }
    void bypass (bool on) { format.bypass (on); }
    void restartPlayback() { format.restartPlayback(); }
    void load (const std::string& elements) { format.load (elements); }

    void runBlock()
    {
        ledger.take (format.run (pending), blocks++);
        pending.clear();
    }

    Format format;
    Events pending;
    vsthost::NoteLedger ledger;
    int blocks = 0;
};

inline std::string joined (const std::vector<std::string>& lines)
{
    std::string text;
    for (auto& line : lines)
        text += "\n  " + line;
    return text;
}

/** A project a host loads: every setting of the table at a random value it
    offers, the split where both hands play, the harmony switch off the
    controllers the streams send. */
template <typename Pick>
std::string randomProject (Pick&& pick)
{
    return randomSettingElements (pick, { { Settings::splitPoint, { 40, 70 } } }, { Settings::ccHarmonyCtl });
}

inline std::string randomProject (unsigned seed)
{
    std::mt19937 rng (seed);
    return randomProject ([&] (int lo, int hi) { return lo + (int) (rng() % (unsigned) (hi - lo + 1)); });
}

/** A random stream: chords, melodies and everything a host may do between
    them; every key is released at the end. Its words are kept for a report. */
template <typename Player>
void playRandomStream (Player& s, unsigned seed, std::vector<std::string>& log)
{
    std::mt19937 rng (seed);
    auto chance = [&] (int percent) { return (int) (rng() % 100) < percent; };
    auto pick = [&] (int lo, int hi) { return lo + (int) (rng() % (unsigned) (hi - lo + 1)); };
    std::vector<int> held;
    std::vector<std::pair<int, int>> pedals; // (controller, channel) pressed and not yet released
    auto note = [&] (const char* verb, int key, int position) { log.push_back (std::string (verb) + ":" + std::to_string (key) + "@" + std::to_string (position)); };

    for (int block = 0; block < 40; ++block)
    {
        if (chance (10))
        {
            const bool on = chance (50);
            s.bypass (on);
            log.push_back (on ? "bypass:1" : "bypass:0");
        }
        if (chance (5))
        {
            s.restartPlayback();
            log.push_back ("restart");
        }
        if (chance (8))
        {
            const auto settings = randomProject (pick);
            s.load (settings);
            log.push_back ("load:" + settings);
        }

        // Positions rise through the block, now and then past its end, as a host's may.
        int position = 0;
        for (int e = pick (0, 8); e > 0; --e)
        {
            position += chance (5) ? pick (30, 100) : pick (0, 10);
            if (chance (8))
            {
                // A pedal pressed on any channel, or the last one down released there.
                static constexpr int pedalNumbers[] = { 64, 66, 67 };
                const bool release = ! pedals.empty() && chance (50);
                if (! release)
                    pedals.emplace_back (pedalNumbers[pick (0, 2)], pick (1, 16));
                const auto [number, channel] = pedals.back();
                s.controller (number, release ? 0 : 127, channel);
                log.push_back ("pedal:" + std::to_string (number) + "@" + std::to_string (channel) + (release ? "=0" : "=127"));
                if (release)
                    pedals.pop_back();
            }
            else if (chance (8))
            {
                const int number = chance (50) ? 32 : (chance (50) ? 123 : 120);
                const int value = pick (0, 127);
                s.controller (number, value, pick (1, 16));
                log.push_back ("cc:" + std::to_string (number) + "=" + std::to_string (value));
            }
            else if (! held.empty() && chance (45))
            {
                const auto i = (size_t) pick (0, (int) held.size() - 1);
                s.release (held[i], position);
                note ("off", held[i], position);
                held.erase (held.begin() + (long) i);
            }
            else
            {
                const int key = chance (50) ? pick (30, 50) : pick (55, 90);
                if (std::find (held.begin(), held.end(), key) != held.end())
                    continue; // a key is pressed again only once released
                s.press (key, position, pick (1, 127));
                note ("on", key, position);
                held.push_back (key);
            }
        }

        s.runBlock();
        log.push_back ("|");
    }

    for (int key : held)
    {
        s.release (key);
        note ("off", key, 0);
    }
    for (auto [number, channel] : pedals)
        s.controller (number, 0, channel);
    s.runBlock();
    log.push_back ("|");
}

/** Plays the stream of this seed and fails with a report if a note is stuck or a stray note-off went out. */
template <typename Player>
void expectNothingStuck (Player& s, unsigned seed)
{
    std::vector<std::string> log;
    playRandomStream (s, seed, log);

    if (s.ledger.stillSounding().empty() && s.ledger.strays().empty())
        return;

    std::string tail;
    for (size_t i = log.size() > 60 ? log.size() - 60 : 0; i < log.size(); ++i)
        tail += log[i] + " ";
    ADD_FAILURE() << "seed " << seed << "\nstill sounding:" << joined (s.ledger.stillSounding())
                  << "\nnote-offs for notes not sounding:" << joined (s.ledger.strays()) << "\nlast words: " << tail;
}

/** Overload, as a controller surface, a sequencer or a dense MIDI file may
    send it: one block of 40 000 random strikes and releases over the whole
    keyboard, then 40 blocks of 1 024 melody notes each over a held chord (some
    seven thousand events out a block). After every key is released and what
    waited has gone out, nothing may sound and no release may end nothing. */
template <typename Player>
void expectNothingStuckUnderOverload (Player& s, unsigned seed)
{
    std::mt19937 rng (seed);
    std::vector<bool> held (128);
    const auto strikeOrRelease = [&] (int key, int position) {
        held[(size_t) key] ? s.release (key, position) : s.press (key, position, 1 + (int) (rng() % 127));
        held[(size_t) key] = ! held[(size_t) key];
    };
    const auto releaseAllAndDrain = [&] (const char* what) {
        for (int key = 0; key < 128; ++key)
            if (held[(size_t) key])
                strikeOrRelease (key, 0);
        for (int block = 0; block < 40; ++block)
            s.runBlock();
        EXPECT_TRUE (s.ledger.stillSounding().empty()) << what << ", seed " << seed << ", still sounding:" << joined (s.ledger.stillSounding());
        EXPECT_TRUE (s.ledger.strays().empty()) << what << ", seed " << seed << ", note-offs for notes not sounding:" << joined (s.ledger.strays());
    };

    for (int e = 0; e < 40000; ++e)
        strikeOrRelease ((int) (rng() % 128), e * 63 / 40000);
    s.runBlock();
    releaseAllAndDrain ("one block of 40 000 events");

    for (int key : { 36, 40, 43 })
        strikeOrRelease (key, 0);
    for (int block = 0; block < 40; ++block)
    {
        for (int e = 0; e < 1024; ++e)
            strikeOrRelease (60 + (int) (rng() % 36), e * 63 / 1024);
        s.runBlock();
    }
    releaseAllAndDrain ("40 blocks of 1 024 melody notes");
}

/** The random streams of these seeds as blocks of events, to hand over again
    and again; every key is up at the end of each stream. */
inline std::vector<Events> recordedStreams (unsigned firstSeed, unsigned numStreams)
{
    struct Recorder
    {
        const std::vector<vsthost::ReceivedEvent>& run (const Events& events)
        {
            blocks.push_back (events);
            return nothingYet;
        }
        void bypass (bool) {}
        void restartPlayback() {}
        void load (const std::string&) {}

        std::vector<Events> blocks;
        std::vector<vsthost::ReceivedEvent> nothingYet;
    };

    StreamPlayer<Recorder> recorder;
    std::vector<std::string> log;
    for (auto seed = firstSeed; seed < firstSeed + numStreams; ++seed)
        playRandomStream (recorder, seed, log);
    return recorder.format.blocks;
}
