#include "plugin/ReportCache.h"

#include "plugin/EncodedReport.h"

ReportCache::~ReportCache() { release(cached_); }

EncodedReport* ReportCache::latest() {
    if (EncodedReport* fresh = cachedFor(snapshot_.generation())) return fresh;
    return encodeLatest();
}

EncodedReport* ReportCache::cachedFor(uint64_t generation) {
    MutexLock guard(slotMutex_);
    return cached_ && cached_->generation() == generation ? retain(cached_) : nullptr;
}

// Another thread may have encoded the generation while this one waited for its turn. Values and generation
// are read together, so the bytes always belong to the generation they are filed under.
EncodedReport* ReportCache::encodeLatest() {
    MutexLock encoding(encodeMutex_);
    PositionSnapshot::Reading reading = snapshot_.reading();
    if (EncodedReport* fresh = cachedFor(reading.generation)) return fresh;
    EncodedReport* made = EncodedReport::encode(reading);
    MutexLock guard(slotMutex_);
    release(cached_);
    cached_ = retain(made);
    return made;
}
