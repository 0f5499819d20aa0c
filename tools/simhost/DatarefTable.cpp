#include "DatarefTable.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "NumberText.h"

namespace {

struct KnownDataref {
    const char* name;
    DatarefType type;
};

// The aircraft's position, attitude and acceleration, as X-Plane names and types them: a plug-in that finds
// a dataref here finds it in X-Plane, and one X-Plane lacks is missing here too.
constexpr KnownDataref KnownDatarefs[] = {
    {"sim/flightmodel/position/latitude", DatarefType::Double},
    {"sim/flightmodel/position/longitude", DatarefType::Double},
    {"sim/flightmodel/position/elevation", DatarefType::Double},
    {"sim/flightmodel/position/groundspeed", DatarefType::Float},
    {"sim/flightmodel/position/hpath", DatarefType::Float},
    {"sim/flightmodel/position/theta", DatarefType::Float},
    {"sim/flightmodel/position/phi", DatarefType::Float},
    {"sim/flightmodel/position/psi", DatarefType::Float},
    {"sim/flightmodel/misc/slip", DatarefType::Float},
    {"sim/flightmodel/position/local_ax", DatarefType::Float},
    {"sim/flightmodel/position/local_ay", DatarefType::Float},
    {"sim/flightmodel/position/local_az", DatarefType::Float},
};

bool fitsFloat(double number) { return std::fabs(number) <= std::numeric_limits<float>::max(); }

// The float nearest to number; beyond the float range, an infinity of the same sign.
float narrow(double number) {
    if (fitsFloat(number) || std::isnan(number)) return static_cast<float>(number);
    return std::copysign(std::numeric_limits<float>::infinity(), static_cast<float>(std::signbit(number) ? -1 : 1));
}

}  // namespace

DatarefTable::DatarefTable() {
    for (const KnownDataref& known : KnownDatarefs) {
        Dataref& dataref = datarefs_.emplace_back();
        dataref.name = known.name;
        dataref.type = known.type;
    }
}

XPLMDataRef DatarefTable::find(const char* name) {
    lookups_.fetch_add(1);
    if (!name) return nullptr;
    for (size_t i = 0; i < datarefs_.size(); ++i) {
        if (datarefs_[i].name != name) continue;
        datarefs_[i].handedOut.store(true);
        return reinterpret_cast<XPLMDataRef>(static_cast<uintptr_t>(i + 1));
    }
    return nullptr;
}

const DatarefTable::Dataref* DatarefTable::entryAt(XPLMDataRef handle) const {
    auto number = reinterpret_cast<uintptr_t>(handle);
    return number != 0 && number <= datarefs_.size() ? &datarefs_[number - 1] : nullptr;
}

bool DatarefTable::handedOut(XPLMDataRef handle) const {
    const Dataref* dataref = entryAt(handle);
    return dataref && dataref->handedOut.load();
}

const DatarefTable::Dataref* DatarefTable::entryFor(XPLMDataRef handle, DatarefType type) const {
    const Dataref* dataref = entryAt(handle);
    return dataref && dataref->type == type ? dataref : nullptr;
}

DatarefTable::Dataref* DatarefTable::entryNamed(const std::string& name) const {
    for (const Dataref& dataref : datarefs_) {
        if (dataref.name == name) return const_cast<Dataref*>(&dataref);
    }
    return nullptr;
}

double DatarefTable::getDouble(XPLMDataRef handle) const {
    const Dataref* dataref = entryFor(handle, DatarefType::Double);
    return dataref ? dataref->value.load() : 0.0;
}

// A float dataref holds a value that is already a float, so the conversion is exact.
float DatarefTable::getFloat(XPLMDataRef handle) const {
    const Dataref* dataref = entryFor(handle, DatarefType::Float);
    return dataref ? static_cast<float>(dataref->value.load()) : 0.0f;
}

void DatarefTable::store(Dataref& dataref, double value) {
    if (dataref.type == DatarefType::Float) value = narrow(value);
    dataref.value.store(value);
}

bool DatarefTable::set(const std::string& name, double value) {
    Dataref* dataref = entryNamed(name);
    if (!dataref) return false;
    store(*dataref, value);
    return true;
}

DatarefTable::SetResult DatarefTable::setFromText(const std::string& name, const std::string& text) {
    Dataref* dataref = entryNamed(name);
    if (!dataref) return SetResult::UnknownName;
    double number = 0.0;
    if (!parseFiniteNumber(text, number)) return SetResult::BadValue;
    if (dataref->type == DatarefType::Float && !fitsFloat(number)) return SetResult::BadValue;
    store(*dataref, number);
    return SetResult::Done;
}

double DatarefTable::value(const std::string& name) const {
    const Dataref* dataref = entryNamed(name);
    return dataref ? dataref->value.load() : 0.0;
}

std::vector<std::string> DatarefTable::names() const {
    std::vector<std::string> all;
    for (const Dataref& dataref : datarefs_) all.push_back(dataref.name);
    return all;
}
