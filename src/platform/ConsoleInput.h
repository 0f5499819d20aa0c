// ConsoleInput: the lines typed on standard input, read without ever waiting, so that a frame loop can
// look for commands once a frame. The object keeps the bytes of an unfinished line until its end arrives.
#pragma once

#include <string>
#include <vector>

class ConsoleInput {
public:
    // Appends every complete line that has arrived (without its line end) to lines; returns at once.
    // At the end of input a last unfinished line counts as complete.
    void takeLines(std::vector<std::string>& lines);
    // True once standard input has reached its end or failed; no more lines will come.
    bool closed() const { return closed_; }

private:
    void readAvailable();
    void splitLines(std::vector<std::string>& lines);

    std::string pending_;
    bool closed_ = false;
};
