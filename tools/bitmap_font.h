// A tiny built-in bitmap font (5 by 7 dots) for labelling pictures: digits,
// the picture type letters and a few signs.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tavrin::tool {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
// Horizontal distance from one character to the next, in dots.
inline constexpr int kGlyphAdvance = kGlyphWidth + 1;

// Seven rows of the glyph for c, the top row first, bit 4 the leftmost
// dot.  Characters without a glyph give an empty box outline.
std::array<uint8_t, kGlyphHeight> Glyph(char c);

// True when c has a glyph of its own.
bool HasGlyph(char c);

// Width in dots of text set at scale 1 (no trailing gap).
int TextWidth(const std::string& text);

}  // namespace tavrin::tool
