// Prints position reports: an aligned table (a header, then a row per report) or one JSON object a line.
#pragma once

#include <cstdio>

class BaseDictionary;

class ReportPrinter {
public:
    ReportPrinter(std::FILE* out, bool json) : out_(out), json_(json) {}
    void print(BaseDictionary* report, double secondsSinceStart);

private:
    void printHeader();

    std::FILE* out_;
    bool json_;
    bool headerPrinted_ = false;
};
