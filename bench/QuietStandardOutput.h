// QuietStandardOutput: while it exists, standard output goes to /dev/null. Each start of the bridge prints
// the DebugManager lines; the benchmark starts many bridges and keeps its own table readable.
#pragma once

class QuietStandardOutput {
public:
    QuietStandardOutput();
    ~QuietStandardOutput();
    QuietStandardOutput(const QuietStandardOutput&) = delete;
    QuietStandardOutput& operator=(const QuietStandardOutput&) = delete;

private:
    int saved_ = -1;
};
