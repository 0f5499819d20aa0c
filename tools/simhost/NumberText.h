// Decimal numbers typed on simhost's console or given on its command line.
#pragma once

#include <string>

// Reads the whole of text as a finite decimal number ("12", "-0.5", "1e3"), the same in every locale. No
// leading white space or "+", nothing after the number; false leaves number unspecified.
bool parseFiniteNumber(const std::string& text, double& number);
