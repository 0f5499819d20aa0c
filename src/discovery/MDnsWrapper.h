// MDnsWrapper: the DNS-SD client library, loaded at run time and its fifteen functions resolved by name.
// One wrapper is shared by the process: sharedMDnsWrapper hands every caller a reference of its own, and
// the listening sockets keep theirs while they are registered. When the library (or, later, the daemon it
// talks to) is missing, the advertisement is simply off; every later call tries to load it again.
#pragma once

#include <memory>

#include "base/BaseObject.h"
#include "discovery/DnsSdApi.h"

class DynamicLibrary;

class MDnsWrapper : public BaseObject {
public:
    // The names resolved, in table order.
    static constexpr int FunctionCount = 15;
    static const char* const FunctionNames[FunctionCount];

    MDnsWrapper();
    ~MDnsWrapper() override;

    bool load();
    bool unload();
    bool isLoaded() const { return loaded_; }
    // The table entry for a name of FunctionNames, or null.
    void* function(const char* name) const;
    // Fills the entry of a name of FunctionNames by hand (false for any other name); a wrapper filled so
    // counts as loaded without a library, which lets tests stand in for the DNS-SD service.
    bool setFunction(const char* name, void* entry);
    // Whether the table holds every entry a listening socket calls to register and withdraw its service.
    bool canRegister() const;

    // Typed access to the entries the bridge and the reference client call; null when absent.
    DNSServiceBrowseFunction browseFunction() const;
    DNSServiceResolveFunction resolveFunction() const;
    DNSServiceQueryRecordFunction queryRecordFunction() const;
    DNSServiceRegisterFunction registerFunction() const;
    DNSServiceProcessResultFunction processResultFunction() const;
    DNSServiceRefSockFDFunction socketFunction() const;
    DNSServiceRefDeallocateFunction deallocateFunction() const;
    TXTRecordCreateFunction txtCreateFunction() const;
    TXTRecordSetValueFunction txtSetValueFunction() const;
    TXTRecordGetLengthFunction txtLengthFunction() const;
    TXTRecordGetBytesPtrFunction txtBytesFunction() const;
    TXTRecordDeallocateFunction txtDeallocateFunction() const;

private:
    void* functions_[FunctionCount] = {};
    bool loaded_ = false;
    std::unique_ptr<DynamicLibrary> library_;
};

// Main thread, before the first load: prepares the process for the library (Avahi's compatibility layer
// prints a warning into the host's console unless the environment tells it not to, and only the main thread
// may change the environment). Without it the library still works.
void prepareProcessForDnsSd();
// The shared wrapper with a reference for the caller, or null when the library cannot be loaded.
MDnsWrapper* sharedMDnsWrapper();
// Makes wrapper (may be null) the shared one, taking over the caller's reference to it, and hands the
// caller the reference the module held to the one it replaces (may be null). Lets a test start without
// the shared wrapper an earlier test left, or stand a wrapper of its own in for it, and put it back.
MDnsWrapper* exchangeSharedMDnsWrapper(MDnsWrapper* wrapper);
