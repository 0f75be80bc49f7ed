// A bitmap font of printable ASCII, for the captions of the contact sheet: glyphs of
// 5 x 7 pixels on a cell 8 pixels high, whose last row holds the descenders.
#ifndef VXFREQ_DEMO_BITMAP_FONT_H
#define VXFREQ_DEMO_BITMAP_FONT_H

#include <cstdint>
#include <string>

namespace demo {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 8;
// Horizontal distance from one character to the next, in font pixels.
constexpr int kGlyphAdvance = 6;

// The five columns of character `c`, left to right; bit 0 of a column is the top row.
// Characters outside printable ASCII give the glyph of '?'.
const std::uint8_t* glyphColumns(char c);

// Whether font pixel (x, y) of character `c` is set (0 <= x < 5, 0 <= y < 8).
bool glyphPixel(char c, int x, int y);

// Width in pixels of `text` drawn at `scale` (no spacing after the last character).
long textWidth(const std::string& text, int scale);

}  // namespace demo

#endif
