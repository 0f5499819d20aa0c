// HostOutput: the lines simhost itself prints, each with the "simhost: " prefix and flushed at once, so
// that a program reading simhost through a pipe sees every line as soon as it is written.
#pragma once

#include <string>

// A line on standard output.
void hostSay(const std::string& text);
// A one-line error on standard error.
void hostComplain(const std::string& text);
