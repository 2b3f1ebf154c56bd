#pragma once

// A pixel read back from a host's window, and the colours the editor paints
// its marks in.

struct Colour
{
    int r, g, b;

    bool isRed() const { return r > 200 && g < 60 && b < 60; }
    bool isBlue() const { return b > 200 && r < 60 && g < 60; }
    bool isGreen() const { return g > 100 && r < 60 && b < 60; }
};
