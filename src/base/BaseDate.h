// BaseDate: a point in time as seconds since 1970-01-01 00:00:00 UTC, fractions allowed. Renders as an
// RFC 1123 date, an ISO 8601 stamp or a plain number. The calendar fields are a cache filled from the
// value by fillCalendar, computed on the proleptic Gregorian calendar from 1600-01-01 (exact from
// 1600-03-01 on; earlier or non-finite times give 1600-01-01).
#pragma once

#include "base/BaseObject.h"

class BaseDate : public BaseObject {
public:
    explicit BaseDate(double secondsSince1970);

    double value() const { return value_; }
    void fillCalendar();

    uint32_t year() const { return year_; }
    uint8_t month() const { return month_; }
    uint8_t day() const { return day_; }
    uint8_t weekday() const { return weekday_; }  // 0 Sunday to 6 Saturday
    uint8_t hour() const { return hour_; }
    uint8_t minute() const { return minute_; }
    uint8_t second() const { return second_; }
    uint16_t millisecond() const { return millisecond_; }

    bool isEqual(const BaseObject* other) const override;
    int compare(const BaseObject* other) const override;
    uint32_t hash() const override;
    const char* className() const override;
    BaseString* description(uint32_t flags) const override;

private:
    double value_;
    uint32_t year_ = 0;
    uint8_t month_ = 0;
    uint8_t day_ = 0;
    uint8_t weekday_ = 0;
    uint8_t hour_ = 0;
    uint8_t minute_ = 0;
    uint8_t second_ = 0;
    uint16_t millisecond_ = 0;
};
