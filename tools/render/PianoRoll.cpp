#include "PianoRoll.h"

#include "NoteNames.h"

#include <cmath>
#include <map>

namespace render
{
BarsAndBeats::BarsAndBeats (const juce::MidiFile& file, int tpq) : ticksPerQuarter (tpq)
{
    signatures.push_back ({ 0.0, 4, 4, 0.0 });

    if (ticksPerQuarter <= 0)
        return;

    juce::MidiMessageSequence found;
    file.findAllTimeSigEvents (found);
    found.sort();

    for (auto* e : found)
    {
        int n = 4, d = 4;
        e->message.getTimeSignatureInfo (n, d);
        const double tick = e->message.getTimeStamp();
        auto& last = signatures.back();
        const double barTicks = ticksPerQuarter * 4.0 * last.numerator / last.denominator;
        const double bars = last.firstBar + (tick - last.tick) / barTicks;

        if (tick == last.tick)
            last = { tick, std::max (1, n), std::max (1, d), last.firstBar };
        else
            signatures.push_back ({ tick, std::max (1, n), std::max (1, d), std::ceil (bars - 1e-9) });
    }
}

std::string BarsAndBeats::describe (double tick) const
{
    if (ticksPerQuarter <= 0)
        return juce::String (tick, 0).toStdString() + " ticks";

    auto s = signatures.front();
    for (auto& sig : signatures)
        if (sig.tick <= tick)
            s = sig;

    const double beatTicks = ticksPerQuarter * 4.0 / s.denominator;
    const double beats = (tick - s.tick) / beatTicks;
    const auto bar = (int) std::floor (beats / s.numerator + 1e-9);
    const double beat = beats - bar * s.numerator;

    char text[64];
    std::snprintf (text, sizeof (text), "%4d:%-5.2f", (int) s.firstBar + bar + 1, beat + 1.0);
    return text;
}

std::vector<double> BarsAndBeats::barStarts (double untilTick) const
{
    std::vector<double> starts;

    if (ticksPerQuarter <= 0)
        return starts;

    for (size_t i = 0; i < signatures.size(); ++i)
    {
        const auto& s = signatures[i];
        const double end = i + 1 < signatures.size() ? signatures[i + 1].tick : untilTick;
        const double barTicks = ticksPerQuarter * 4.0 * s.numerator / s.denominator;

        for (double t = s.tick; t <= end && t <= untilTick && starts.size() < 10000; t += barTicks)
            starts.push_back (t);
    }

    return starts;
}

namespace
{
struct Note
{
    double start, end;
    int number, velocity;
};

/** Pairs note-ons with the note-offs that end them, per channel and note. */
std::vector<Note> notesOf (const std::vector<TimedEvent>& events, bool voices, double endTick)
{
    std::vector<Note> notes;
    std::map<std::pair<int, int>, std::vector<size_t>> open;

    for (auto& e : events)
    {
        if (! isNoteEvent (e.bytes) || e.isVoice != voices)
            continue;

        const auto key = std::make_pair (e.bytes[0] & 0x0f, (int) e.bytes[1]);
        if (isNoteOn (e.bytes))
        {
            open[key].push_back (notes.size());
            notes.push_back ({ e.tick, endTick, e.bytes[1], e.bytes[2] });
        }
        else
        {
            for (auto i : open[key])
                notes[i].end = e.tick;
            open[key].clear();
        }
    }

    return notes;
}
const auto chordColour = juce::Colour (0xff4f8fd8), melodyColour = juce::Colour (0xfff0a030),
           voiceColour = juce::Colour (0xff60c878), splitColour = juce::Colour (0xffe04040);

/** Where notes and ticks land in the picture. */
struct Layout
{
    static constexpr int keyboardWidth = 48, legendHeight = 40, rowHeight = 8;

    Layout (const std::vector<Note>& inputNotes, const std::vector<Note>& voices, int splitPoint,
            int ticksPerQuarter, double endTickIn)
        : endTick (endTickIn)
    {
        for (auto* list : { &inputNotes, &voices })
            for (auto& n : *list)
                low = std::min (low, n.number), high = std::max (high, n.number);
        if (low > high)
            low = 36, high = 84;
        low = std::max (0, std::min (low, splitPoint) - 2);
        high = std::min (127, std::max (high, splitPoint) + 2);

        rollWidth = juce::jlimit (600, 2400, (int) (endTick / std::max (1, ticksPerQuarter) * 40));
        width = keyboardWidth + rollWidth + 10;
        height = legendHeight + (high - low + 1) * rowHeight + 10;
    }

    int y (int note) const { return legendHeight + (high - note) * rowHeight; }
    float x (double tick) const { return keyboardWidth + (float) (tick / endTick * rollWidth); }

    double endTick;
    int low = 127, high = 0, rollWidth = 0, width = 0, height = 0;
};

// Key rows: black keys darker, C rows named.
void drawKeyRows (juce::Graphics& g, const Layout& l)
{
    for (int n = l.low; n <= l.high; ++n)
    {
        const bool black = juce::MidiMessage::isMidiNoteBlack (n);
        g.setColour (black ? juce::Colour (0xff26211e) : juce::Colour (0xff302a26));
        g.fillRect (l.keyboardWidth, l.y (n), l.rollWidth, l.rowHeight);
        g.setColour (black ? juce::Colour (0xff202020) : juce::Colour (0xffe8e4dc));
        g.fillRect (0, l.y (n), l.keyboardWidth - 14, l.rowHeight - 1);

        if (n % 12 == 0)
        {
            g.setColour (juce::Colour (0xffb0a898));
            g.setFont (9.0f);
            g.drawText (NoteNames::name (n), l.keyboardWidth - 14, l.y (n) - 2, 14,
                        l.rowHeight + 4, juce::Justification::centredRight);
        }
    }
}

void drawNote (juce::Graphics& g, const Layout& l, const Note& n, juce::Colour c)
{
    const auto r = juce::Rectangle<float> (l.x (n.start), (float) l.y (n.number) + 1, std::max (2.0f, l.x (n.end) - l.x (n.start)),
                                           (float) l.rowHeight - 2);
    g.setColour (c.withMultipliedBrightness (0.6f + 0.4f * (float) n.velocity / 127.0f));
    g.fillRoundedRectangle (r, 2.0f);
    g.setColour (c.brighter (0.4f));
    g.drawRoundedRectangle (r, 2.0f, 1.0f);
}

void drawLegend (juce::Graphics& g, int splitPoint)
{
    g.setFont (14.0f);
    int lx = 10;
    const std::pair<juce::Colour, juce::String> legend[] = {
        { chordColour, "chord (left hand)" },
        { melodyColour, "melody (right hand)" },
        { voiceColour, "harmony voices" },
        { splitColour, "split point " + NoteNames::name (splitPoint) },
    };

    for (auto& [colour, text] : legend)
    {
        g.setColour (colour);
        g.fillRoundedRectangle ((float) lx, 14.0f, 14.0f, 12.0f, 2.0f);
        g.setColour (juce::Colours::white);
        g.drawText (text, lx + 20, 8, 200, 24, juce::Justification::centredLeft);
        lx += 20 + g.getCurrentFont().getStringWidth (text) + 24;
    }
}
} // namespace

juce::Image drawPianoRoll (const Result& result, int splitPoint, int ticksPerQuarter)
{
    double endTick = 1;
    for (auto& e : result.input)
        endTick = std::max (endTick, e.tick);
    endTick += ticksPerQuarter > 0 ? ticksPerQuarter : 1;

    const auto inputNotes = notesOf (result.input, false, endTick);
    const auto voices = notesOf (result.output, true, endTick);
    const Layout l (inputNotes, voices, splitPoint, ticksPerQuarter, endTick);

    juce::Image image (juce::Image::RGB, l.width, l.height, true);
    juce::Graphics g (image);
    g.fillAll (juce::Colour (0xff1e1a18));
    drawKeyRows (g, l);

    BarsAndBeats bars (result.source, ticksPerQuarter);
    g.setColour (juce::Colour (0xff4a433d));
    for (auto t : bars.barStarts (endTick))
        g.drawVerticalLine ((int) l.x (t), (float) l.legendHeight, (float) l.height - 10);

    for (auto& n : inputNotes)
        drawNote (g, l, n, n.number < splitPoint ? chordColour : melodyColour);
    for (auto& n : voices)
        drawNote (g, l, n, voiceColour);

    // The split point: the line between the chord area and the melody.
    g.setColour (splitColour);
    const float splitY = (float) l.y (splitPoint) + l.rowHeight;
    g.drawLine ((float) l.keyboardWidth, splitY, (float) (l.keyboardWidth + l.rollWidth), splitY, 2.0f);

    drawLegend (g, splitPoint);
    return image;
}
} // namespace render
