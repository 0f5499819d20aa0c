#include "NumberText.h"

#include <cmath>
#include <locale>
#include <sstream>

bool parseFiniteNumber(const std::string& text, double& number) {
    if (text.empty() || text.front() == '+') return false;
    std::istringstream stream(text);
    stream.imbue(std::locale::classic());
    stream >> std::noskipws >> number;
    if (stream.fail()) return false;
    return stream.peek() == std::istringstream::traits_type::eof() && std::isfinite(number);
}
