#include "FontMetrics.h"

#include <algorithm>
#include <sstream>

FontMetrics::Kind FontMetrics::kind(XPLMFontID font) {
    if (font == xplmFont_Basic || font == xplmFont_Proportional) return Kind::Supported;
    return font > xplmFont_Basic && font < xplmFont_Proportional ? Kind::Deprecated : Kind::Unknown;
}

FontMetrics::Size FontMetrics::size(XPLMFontID font) {
    if (font == xplmFont_Basic) return {BasicWidth, BasicHeight};
    if (font == xplmFont_Proportional) return {ProportionalAverageWidth, ProportionalHeight};
    return {};
}

std::vector<std::string> FontMetrics::wrap(const std::string& text, XPLMFontID font, int wrapWidth) {
    int characterWidth = std::max(1, size(font).width);
    const size_t lineLength = static_cast<size_t>(std::max(1, wrapWidth / characterWidth));
    std::vector<std::string> lines;
    std::istringstream words(text);
    std::string line;
    for (std::string word; words >> word;) {
        if (!line.empty() && line.size() + 1 + word.size() > lineLength) {
            lines.push_back(line);
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty() || lines.empty()) lines.push_back(line);
    return lines;
}
