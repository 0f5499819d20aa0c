// FontMetrics: the character sizes of the fonts simhost pretends to draw with, and how a string drawn with a
// word-wrap width falls into lines. simhost knows the two fonts the SDK does not deprecate: xplmFont_Basic, of
// fixed width, and xplmFont_Proportional, whose width is an average. Holds no state.
#pragma once

#include <string>
#include <vector>

#include "XPLMGraphics.h"

class FontMetrics {
public:
    static constexpr int BasicWidth = 8;
    static constexpr int BasicHeight = 14;
    static constexpr int ProportionalAverageWidth = 7;
    static constexpr int ProportionalHeight = 14;
    // The SDK's font numbers run from xplmFont_Basic to xplmFont_Proportional; those between are deprecated.
    enum class Kind { Supported, Deprecated, Unknown };

    struct Size {
        int width = 0;
        int height = 0;
    };

    static Kind kind(XPLMFontID font);
    // A character's size; zero for a font that is not supported.
    static Size size(XPLMFontID font);
    // The lines text takes when wrapped at wrapWidth boxels: words are kept whole and go to the next line when
    // the current one has no room for them; a word longer than a line has a line of its own; the blanks between
    // two words on a line become one space.
    static std::vector<std::string> wrap(const std::string& text, XPLMFontID font, int wrapWidth);
};
