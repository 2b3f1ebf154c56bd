// Draws resources/background.png, the editor's 996 x 250 panel: the red-orange
// title band with the name in script lettering and a soft flare at its right
// end, the dark honeycomb panel, and the dark orange frame.
//
//   make-background [OUT.png] [FONT]   (FONT: Debian's fonts-dancingscript by default)

#include <juce_graphics/juce_graphics.h>
#include <juce_events/juce_events.h>

#include <cmath>
#include <cstdio>

namespace
{
constexpr int width = 996, height = 250;
constexpr int bandBottom = 61; // rows 0..60 are the title band
constexpr int frame = 3;
const juce::Colour frameColour (128, 30, 0);

void drawTitleBand (juce::Graphics& g)
{
    juce::ColourGradient band (juce::Colour (150, 42, 6), 0.0f, 0.0f, juce::Colour (104, 22, 0), 0.0f, (float) bandBottom, false);
    band.addColour (0.12, juce::Colour (132, 32, 2));
    band.addColour (0.75, juce::Colour (124, 28, 0));
    g.setGradientFill (band);
    g.fillRect (0, 0, width, bandBottom);

    // A lighter line along the top edge, a darker shade along the lower edge.
    g.setColour (juce::Colour (196, 86, 34));
    g.fillRect (0, 0, width, 1);
    g.setColour (juce::Colour (172, 64, 20).withAlpha (0.6f));
    g.fillRect (0, 1, width, 1);

    juce::ColourGradient shade (juce::Colours::transparentBlack, 0.0f, (float) bandBottom - 12, juce::Colour (0x70000000), 0.0f, (float) bandBottom, false);
    g.setGradientFill (shade);
    g.fillRect (0, bandBottom - 12, width, 12);
}

void drawHoneycomb (juce::Graphics& g)
{
    const auto panel = juce::Rectangle<int> (frame, bandBottom, width - 2 * frame, height - bandBottom - frame);

    // Dark brown, a little darker towards the left.
    juce::ColourGradient base (juce::Colour (50, 13, 1), (float) panel.getX(), 0.0f, juce::Colour (60, 22, 10), (float) panel.getRight(), 0.0f, false);
    g.setGradientFill (base);
    g.fillRect (panel);

    juce::Graphics::ScopedSaveState save (g);
    g.reduceClipRegion (panel);

    const float r = 11.0f; // hexagon radius
    const float dx = r * std::sqrt (3.0f); // column spacing
    const float dy = r * 1.5f; // row spacing

    for (int row = -1; row * dy < (float) height + r; ++row)
    {
        for (int col = -1; col * dx < (float) width + r; ++col)
        {
            const float cx = col * dx + (row % 2 != 0 ? dx / 2 : 0.0f);
            const float cy = bandBottom + row * dy;

            juce::Path hex;
            for (int k = 0; k < 6; ++k)
            {
                const float a = juce::MathConstants<float>::pi / 3.0f * (float) k + juce::MathConstants<float>::pi / 6.0f;
                const juce::Point<float> p (cx + (r - 1.2f) * std::cos (a), cy + (r - 1.2f) * std::sin (a));
                if (k == 0)
                    hex.startNewSubPath (p);
                else
                    hex.lineTo (p);
            }
            hex.closeSubPath();

            const float towardsRight = juce::jlimit (0.0f, 1.0f, cx / (float) width);
            g.setColour (juce::Colour (0, 0, 0).withAlpha (0.18f + 0.08f * (1.0f - towardsRight)));
            g.strokePath (hex, juce::PathStrokeType (1.6f));
            g.setColour (juce::Colour (120, 60, 30).withAlpha (0.05f + 0.05f * towardsRight));
            g.strokePath (hex, juce::PathStrokeType (0.6f), juce::AffineTransform::translation (0.6f, 0.6f));
        }
    }
}

void drawFlare (juce::Graphics& g)
{
    juce::Graphics::ScopedSaveState save (g);
    // In the title band's right end: everything fades out inside x 850..990,
    // and the panel below stays clear for the playing switches.
    g.reduceClipRegion (0, 0, width, bandBottom);

    const juce::Point<float> centre (930.0f, 30.0f);

    juce::ColourGradient glow (juce::Colour (255, 214, 160).withAlpha (0.30f), centre.x, centre.y,
                               juce::Colour (255, 180, 120).withAlpha (0.0f), centre.x + 60.0f, centre.y, true);
    g.setGradientFill (glow);
    g.fillEllipse (centre.x - 60.0f, centre.y - 60.0f, 120.0f, 120.0f);

    // Crossing pale streaks, fading from the centre.
    const float angles[] = { -0.35f, 0.45f, 1.25f, 2.1f, 2.75f };
    const float lengths[] = { 62.0f, 50.0f, 60.0f, 58.0f, 44.0f };

    for (size_t i = 0; i < std::size (angles); ++i)
    {
        const juce::Point<float> dir (std::cos (angles[i]), std::sin (angles[i]));

        for (float s : { -1.0f, 1.0f })
        {
            const auto end = centre + dir * lengths[i] * s;
            juce::ColourGradient streak (juce::Colour (255, 236, 210).withAlpha (0.45f), centre.x, centre.y,
                                         juce::Colour (255, 236, 210).withAlpha (0.0f), end.x, end.y, false);
            g.setGradientFill (streak);
            g.drawLine ({ centre, end }, 1.4f);
        }
    }

    juce::ColourGradient core (juce::Colour (255, 246, 228).withAlpha (0.8f), centre.x, centre.y,
                               juce::Colour (255, 230, 200).withAlpha (0.0f), centre.x + 10.0f, centre.y, true);
    g.setGradientFill (core);
    g.fillEllipse (centre.x - 10.0f, centre.y - 10.0f, 20.0f, 20.0f);
}

void drawName (juce::Graphics& g, const juce::Typeface::Ptr& script)
{
    juce::Font font (script);
    font.setHeight (46.0f);

    // Fit "Polyquinta" into x 16..206, y 12..54.
    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (font, "Polyquinta", 0.0f, 0.0f);
    auto bounds = glyphs.getBoundingBox (0, -1, true);
    const float scale = juce::jmin (190.0f / bounds.getWidth(), 42.0f / bounds.getHeight());
    const auto transform = juce::AffineTransform::translation (-bounds.getX(), -bounds.getY())
                               .scaled (scale)
                               .translated (16.0f, 12.0f + (42.0f - bounds.getHeight() * scale) / 2.0f);

    juce::Path text;
    glyphs.createPath (text);
    text.applyTransform (transform);

    g.setColour (juce::Colour (0x80300800));
    g.fillPath (text, juce::AffineTransform::translation (1.5f, 2.0f));
    g.setColour (juce::Colour (250, 238, 208));
    g.fillPath (text);
}

void drawFrame (juce::Graphics& g)
{
    g.setColour (frameColour);
    g.fillRect (0, 0, frame, height);
    g.fillRect (width - frame, 0, frame, height);
    g.fillRect (0, height - frame, width, frame);
}
} // namespace

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI framework;

    const juce::File out (juce::File::getCurrentWorkingDirectory().getChildFile (argc > 1 ? argv[1] : "resources/background.png"));
    const juce::File fontFile (argc > 2 ? argv[2] : "/usr/share/fonts/opentype/dancingscript/DancingScript-Bold.otf");

    juce::MemoryBlock fontData;
    if (! fontFile.loadFileAsData (fontData))
    {
        std::fprintf (stderr, "make-background: cannot read the font %s (Debian package fonts-dancingscript)\n",
                      fontFile.getFullPathName().toRawUTF8());
        return 1;
    }

    juce::Image image (juce::Image::ARGB, width, height, true);
    {
        juce::Graphics g (image);
        g.fillAll (juce::Colours::black);
        drawTitleBand (g);
        drawHoneycomb (g);
        drawFlare (g);
        drawName (g, juce::Typeface::createSystemTypefaceFor (fontData.getData(), fontData.getSize()));
        drawFrame (g);
    }

    out.deleteFile();
    juce::FileOutputStream stream (out);
    juce::PNGImageFormat png;

    if (! stream.openedOk() || ! png.writeImageToStream (image, stream))
    {
        std::fprintf (stderr, "make-background: cannot write %s\n", out.getFullPathName().toRawUTF8());
        return 1;
    }

    std::printf ("wrote %s\n", out.getFullPathName().toRawUTF8());
    return 0;
}
