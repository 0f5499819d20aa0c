// ReportCache: the encoded position report of the snapshot's latest generation, shared by every connection.
// The first request that finds the cached report older than the snapshot encodes the new one, on its own
// (receive) thread; every later request of the same generation only takes a reference to it.
//
// The cache holds one reference to the report it keeps; each caller gets a reference of its own, so a report
// replaced while a connection still sends it lives until that send is done. The slot is guarded by a mutex
// held only to read or swap the pointer; a second mutex lets one thread at a time encode, so that a
// generation is encoded once however many requests find it stale together. The owner (the bridge) keeps the
// snapshot alive for as long as the cache.
#pragma once

#include "platform/Mutex.h"
#include "plugin/PositionSnapshot.h"

class EncodedReport;

class ReportCache {
public:
    explicit ReportCache(const PositionSnapshot& snapshot) : snapshot_(snapshot) {}
    ~ReportCache();
    ReportCache(const ReportCache&) = delete;
    ReportCache& operator=(const ReportCache&) = delete;

    // Any thread: the report of the latest generation, with a reference the caller releases.
    EncodedReport* latest() EXCLUDES(slotMutex_, encodeMutex_);

private:
    // The cached report when it is of generation (retained for the caller), or null.
    EncodedReport* cachedFor(uint64_t generation) EXCLUDES(slotMutex_);
    EncodedReport* encodeLatest() EXCLUDES(slotMutex_, encodeMutex_);

    const PositionSnapshot& snapshot_;
    Mutex slotMutex_;
    EncodedReport* cached_ GUARDED_BY(slotMutex_) = nullptr;
    Mutex encodeMutex_;
};
