// CallLog: the menu, feature and preferences-path calls plug-ins made, in order, each as one line of text with
// the function's name and its arguments, identifiers and pointers written as whole numbers, e.g.
// XPLMAppendMenuItem(1, "Zephrane", 0, 1). Only these are logged: they are called a handful of times,
// datarefs every frame.
#pragma once

#include <mutex>
#include <string>
#include <vector>

class CallLog {
public:
    void record(std::string call);
    std::vector<std::string> calls() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};
