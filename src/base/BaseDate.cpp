#include "base/BaseDate.h"

#include <cmath>

#include "base/BaseString.h"
#include "base/BitCast.h"
#include "base/Description.h"
#include "base/StringFormat.h"

namespace {

constexpr double SecondsFrom1600To1970 = 11676096000.0;  // 135140 days
constexpr double LatestSupported = 1e16;                 // some 300 million years: the year stays in range
constexpr uint64_t SecondsPerDay = 86400;
constexpr uint64_t DaysPer400Years = 146097;
constexpr uint32_t FirstYear = 1600;
constexpr uint16_t DaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
constexpr const char* WeekdayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* MonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool isLeapYear(uint32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int ordered(bool greater, bool smaller) { return greater ? 1 : smaller ? -1 : 0; }

}  // namespace

BaseDate::BaseDate(double secondsSince1970) : value_(secondsSince1970) {}

void BaseDate::fillCalendar() {
    double a = value_ + SecondsFrom1600To1970;
    if (!(a >= 0.0)) a = 0.0;  // before 1600, or NaN
    if (a > LatestSupported) a = LatestSupported;
    auto days = static_cast<uint64_t>(a / SecondsPerDay);
    auto secondOfDay = static_cast<uint64_t>(a - static_cast<double>(days * SecondsPerDay));
    if (secondOfDay >= SecondsPerDay) secondOfDay = SecondsPerDay - 1;  // rounding at the day's edge
    millisecond_ = static_cast<uint16_t>((a - std::floor(a)) * 1000);
    weekday_ = static_cast<uint8_t>((days + 6) % 7);  // 1600-01-01 was a Saturday
    hour_ = static_cast<uint8_t>(secondOfDay / 3600);
    minute_ = static_cast<uint8_t>(secondOfDay % 3600 / 60);
    second_ = static_cast<uint8_t>(secondOfDay % 60);

    uint32_t year = FirstYear + static_cast<uint32_t>(days / DaysPer400Years * 400);
    uint64_t dayOfCycle = days % DaysPer400Years;
    for (uint32_t length = isLeapYear(year) ? 366 : 365; dayOfCycle >= length;
         length = isLeapYear(year) ? 366 : 365) {
        dayOfCycle -= length;
        ++year;
    }
    auto dayOfYear = static_cast<uint32_t>(dayOfCycle);
    uint32_t leapShift = isLeapYear(year) ? 1 : 0;
    uint32_t month = 11;
    while (month > 0 && dayOfYear < DaysBeforeMonth[month] + (month >= 2 ? leapShift : 0)) --month;
    year_ = year;
    month_ = static_cast<uint8_t>(month + 1);
    day_ = static_cast<uint8_t>(dayOfYear - DaysBeforeMonth[month] - (month >= 2 ? leapShift : 0) + 1);
}

bool BaseDate::isEqual(const BaseObject* other) const {
    return hasClassName(other, "BaseDate") && static_cast<const BaseDate*>(other)->value_ == value_;
}

int BaseDate::compare(const BaseObject* other) const {
    if (!hasClassName(other, "BaseDate")) return BaseObject::compare(other);
    double theirs = static_cast<const BaseDate*>(other)->value_;
    return ordered(value_ > theirs, value_ < theirs);
}

uint32_t BaseDate::hash() const {
    auto bits = bitCast<uint64_t>(value_);
    return static_cast<uint32_t>(bits) ^ static_cast<uint32_t>(bits >> 32);
}

const char* BaseDate::className() const { return "BaseDate"; }

// Renders from a private copy so that a date shared between threads is only ever read.
BaseString* BaseDate::description(uint32_t flags) const {
    uint32_t style = descriptionStyle(flags);
    BaseString* text = nullptr;
    if (style == StyleJSON || style == StyleLua || style == StyleBare) {
        text = stringWithFormat("%.16g", value_);
    } else {
        BaseDate calendar(value_);
        calendar.fillCalendar();
        if (style == StyleXMLPlist) {
            BaseString* stamp = stringWithFormat("%4u-%02d-%02dT%02d:%02d:%02dZ", calendar.year_, calendar.month_,
                                                 calendar.day_, calendar.hour_, calendar.minute_, calendar.second_);
            text = stringWithFormat("<date>%S</date>", stamp);
        } else {
            text = stringWithFormat("%-3s, %02d %-3s %04u %02d:%02d:%02d GMT", WeekdayNames[calendar.weekday_],
                                    calendar.day_, MonthNames[calendar.month_ - 1], calendar.year_, calendar.hour_,
                                    calendar.minute_, calendar.second_);
        }
    }
    return addDescriptionHeader(this, flags, text, -1, nullptr);
}
