#include "discovery/MDnsWrapper.h"

#include <cstring>
#include <string>

#include "base/SharedObjectsLock.h"
#include "platform/DnsSdLibrary.h"
#include "platform/DynamicLibrary.h"
#include "platform/Mutex.h"

namespace {

// The shared wrapper. Once its library has loaded it stays for the rest of the module's life, so that a
// restarted bridge does not load the library again; it is released with the other shared objects.
SharedInstance<MDnsWrapper> sharedWrapper;

int indexOf(const char* name) {
    for (int i = 0; i < MDnsWrapper::FunctionCount; ++i) {
        if (std::strcmp(MDnsWrapper::FunctionNames[i], name) == 0) return i;
    }
    return -1;
}

template <class Function>
Function as(void* entry) {
    return reinterpret_cast<Function>(entry);
}

}  // namespace

const char* const MDnsWrapper::FunctionNames[FunctionCount] = {
    "DNSServiceBrowse",       "DNSServiceResolve",      "DNSServiceProcessResult", "DNSServiceRefSockFD",
    "DNSServiceRefDeallocate", "TXTRecordGetCount",      "TXTRecordGetValuePtr",    "TXTRecordGetItemAtIndex",
    "DNSServiceRegister",     "TXTRecordGetLength",     "TXTRecordGetBytesPtr",    "TXTRecordSetValue",
    "TXTRecordCreate",        "TXTRecordDeallocate",    "DNSServiceQueryRecord"};

MDnsWrapper::MDnsWrapper() = default;

MDnsWrapper::~MDnsWrapper() {
    sharedWrapper.forget(this);
    if (library_) unload();
}

bool MDnsWrapper::load() {
    if (library_) {
        loaded_ = true;
        return true;
    }
    std::string error;
    // The library keeps a thread and a bus connection of its own: it stays mapped even when the wrapper
    // (or this module) unloads, so that none of that loses its code.
    library_ = DynamicLibrary::open(dnsSdLibraryName(), &error, DynamicLibrary::Lifetime::StaysMapped);
    if (!library_) {
        loaded_ = false;
        return false;
    }
    for (int i = 0; i < FunctionCount; ++i) functions_[i] = library_->symbol(FunctionNames[i]);
    loaded_ = true;
    return true;
}

bool MDnsWrapper::unload() {
    for (void*& entry : functions_) entry = nullptr;
    library_.reset();
    loaded_ = false;
    return true;
}

void* MDnsWrapper::function(const char* name) const {
    int index = indexOf(name);
    return index < 0 ? nullptr : functions_[index];
}

bool MDnsWrapper::setFunction(const char* name, void* entry) {
    int index = indexOf(name);
    if (index < 0) return false;
    functions_[index] = entry;
    loaded_ = true;
    return true;
}

// A library may lack any of them; calling an empty entry would take the simulator down, so registration
// is then left out as it is without a library.
bool MDnsWrapper::canRegister() const {
    return loaded_ && registerFunction() && processResultFunction() && deallocateFunction() && txtCreateFunction() &&
           txtSetValueFunction() && txtLengthFunction() && txtBytesFunction() && txtDeallocateFunction();
}

DNSServiceBrowseFunction MDnsWrapper::browseFunction() const {
    return as<DNSServiceBrowseFunction>(function("DNSServiceBrowse"));
}
DNSServiceResolveFunction MDnsWrapper::resolveFunction() const {
    return as<DNSServiceResolveFunction>(function("DNSServiceResolve"));
}
DNSServiceQueryRecordFunction MDnsWrapper::queryRecordFunction() const {
    return as<DNSServiceQueryRecordFunction>(function("DNSServiceQueryRecord"));
}
DNSServiceRegisterFunction MDnsWrapper::registerFunction() const {
    return as<DNSServiceRegisterFunction>(function("DNSServiceRegister"));
}
DNSServiceProcessResultFunction MDnsWrapper::processResultFunction() const {
    return as<DNSServiceProcessResultFunction>(function("DNSServiceProcessResult"));
}
DNSServiceRefSockFDFunction MDnsWrapper::socketFunction() const {
    return as<DNSServiceRefSockFDFunction>(function("DNSServiceRefSockFD"));
}
DNSServiceRefDeallocateFunction MDnsWrapper::deallocateFunction() const {
    return as<DNSServiceRefDeallocateFunction>(function("DNSServiceRefDeallocate"));
}
TXTRecordCreateFunction MDnsWrapper::txtCreateFunction() const {
    return as<TXTRecordCreateFunction>(function("TXTRecordCreate"));
}
TXTRecordSetValueFunction MDnsWrapper::txtSetValueFunction() const {
    return as<TXTRecordSetValueFunction>(function("TXTRecordSetValue"));
}
TXTRecordGetLengthFunction MDnsWrapper::txtLengthFunction() const {
    return as<TXTRecordGetLengthFunction>(function("TXTRecordGetLength"));
}
TXTRecordGetBytesPtrFunction MDnsWrapper::txtBytesFunction() const {
    return as<TXTRecordGetBytesPtrFunction>(function("TXTRecordGetBytesPtr"));
}
TXTRecordDeallocateFunction MDnsWrapper::txtDeallocateFunction() const {
    return as<TXTRecordDeallocateFunction>(function("TXTRecordDeallocate"));
}

// Under the module-wide mutex: listening sockets may be made on any thread.
MDnsWrapper* sharedMDnsWrapper() {
    MutexLock guard(sharedObjectsMutex());
    if (MDnsWrapper* existing = sharedWrapper.current()) return retain(existing);
    auto* wrapper = new MDnsWrapper();
    if (!wrapper->load()) {
        release(wrapper);  // the holder stays empty, so the next call tries again
        return nullptr;
    }
    release(sharedWrapper.exchange(wrapper));  // the holder keeps the creation's reference
    return retain(wrapper);
}

void prepareProcessForDnsSd() { prepareDnsSdLibrary(); }

MDnsWrapper* exchangeSharedMDnsWrapper(MDnsWrapper* wrapper) { return sharedWrapper.exchange(wrapper); }
