// DatarefTable: the simulator variables simhost offers, each with its X-Plane name and type. Plug-ins find
// them with XPLMFindDataRef and read them with XPLMGetDatad or XPLMGetDataf; the flight model and the
// console's set command write them. As in X-Plane, a name it does not hold has no handle, and a read through
// a null handle, or with the getter of the other type, returns 0; so does a read through a handle the table
// never handed out, which the XPLM functions report first. A handle is a small number.
// Values are atomics: a read from a wrong thread is reported by the thread guard, never a data race.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "XPLMDataAccess.h"

enum class DatarefType { Double, Float };

class DatarefTable {
public:
    enum class SetResult { Done, UnknownName, BadValue };

    DatarefTable();

    // Null for a name the table does not hold. Every call is counted.
    XPLMDataRef find(const char* name);
    uint64_t lookups() const { return lookups_.load(); }
    // True for a handle find has returned; false for null and for any other value.
    bool handedOut(XPLMDataRef handle) const;
    // Only a double dataref reads through getDouble and only a float one through getFloat; any other read is 0.
    double getDouble(XPLMDataRef handle) const;
    float getFloat(XPLMDataRef handle) const;

    // Stores value; a float dataref keeps the float nearest to it. False for an unknown name.
    bool set(const std::string& name, double value);
    // The value is a finite decimal number, within the float range for a float dataref.
    SetResult setFromText(const std::string& name, const std::string& text);
    double value(const std::string& name) const;
    std::vector<std::string> names() const;

private:
    struct Dataref {
        std::string name;
        DatarefType type;
        std::atomic<double> value{0.0};
        std::atomic<bool> handedOut{false};
    };

    // The dataref behind a handle of the table's form (handed out or not), else null.
    const Dataref* entryAt(XPLMDataRef handle) const;
    // The dataref behind handle when it has this type, else null.
    const Dataref* entryFor(XPLMDataRef handle, DatarefType type) const;
    Dataref* entryNamed(const std::string& name) const;
    static void store(Dataref& dataref, double value);

    std::deque<Dataref> datarefs_;
    std::atomic<uint64_t> lookups_{0};
};
