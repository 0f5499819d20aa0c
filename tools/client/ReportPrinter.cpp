#include "ReportPrinter.h"

#include <cstdlib>

#include "base/BaseDictionary.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "base/Description.h"

namespace {

struct Column {
    const char* key;
    const char* format;
};

constexpr Column Columns[] = {{"latitude", "%13.7f"}, {"longitude", "%13.7f"}, {"altitude", "%10.1f"},
                              {"speed", "%7.2f"},     {"course", "%8.2f"},     {"pitch", "%7.2f"},
                              {"roll", "%7.2f"},      {"yaw", "%8.2f"},        {"slip", "%6.2f"},
                              {"accelerationZ", "%14.3f"}};

int widthOf(const char* format) { return std::atoi(format + 1); }

}  // namespace

void ReportPrinter::printHeader() {
    std::fprintf(out_, "%8s", "time");
    for (const Column& column : Columns) std::fprintf(out_, " %*s", widthOf(column.format), column.key);
    std::fprintf(out_, "\n");
    headerPrinted_ = true;
}

void ReportPrinter::print(BaseDictionary* report, double secondsSinceStart) {
    if (json_) {
        BaseString* line = report->description(StyleJSON | DescriptionFlag::Compact | DescriptionFlag::Sorted);
        std::fprintf(out_, "%s\n", line->chars());
    } else {
        if (!headerPrinted_) printHeader();
        std::fprintf(out_, "%8.2f", secondsSinceStart);
        for (const Column& column : Columns) {
            BaseObject* value = BaseDictionary::objectForCStringKey(report, column.key);
            std::fprintf(out_, " ");
            if (hasClassName(value, "BaseNumber")) {
                std::fprintf(out_, column.format, static_cast<BaseNumber*>(value)->doubleValue());
            } else {
                std::fprintf(out_, "%*s", widthOf(column.format), "-");
            }
        }
        std::fprintf(out_, "\n");
    }
    std::fflush(out_);
}
