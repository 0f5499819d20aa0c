#include "io/IODriverAbstract.h"

#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/BaseString.h"
#include "base/InternString.h"
#include "base/NotificationCenter.h"

IODriverAbstract::IODriverAbstract() : BaseThread(true, false) {}

IODriverAbstract::~IODriverAbstract() { release(clients_); }

const char* IODriverAbstract::className() const { return "IODriverAbstract"; }

bool IODriverAbstract::read(void* destination, uint64_t* count) { return readWithTimeout(destination, count, NoTimeout); }

bool IODriverAbstract::write(const void* source, uint64_t count) { return writeWithTimeout(source, count, NoTimeout); }

bool IODriverAbstract::close() {
    if (!isListening()) return false;
    listening_.store(false, std::memory_order_release);
    MutexLock guard(clientsLock_);
    release(clients_);
    clients_ = nullptr;
    return true;
}

bool IODriverAbstract::connect() { return false; }

bool IODriverAbstract::listen() {
    {
        MutexLock guard(clientsLock_);
        release(clients_);
        clients_ = new BaseArray();
    }
    listening_.store(true, std::memory_order_release);
    return startThread();
}

void IODriverAbstract::acceptLoop() {}

bool IODriverAbstract::isReadable() { return false; }

bool IODriverAbstract::readWithTimeout(void*, uint64_t*, int32_t) { return false; }

bool IODriverAbstract::writeWithTimeout(const void*, uint64_t, int32_t) { return false; }

IODriverAbstract* IODriverAbstract::newClient() { return nullptr; }

void IODriverAbstract::threadMethod() { acceptLoop(); }

uint32_t IODriverAbstract::clientCount() {
    MutexLock guard(clientsLock_);
    return clients_ ? clients_->count() : 0;
}

IODriverAbstract* IODriverAbstract::clientAtIndex(uint32_t index) {
    MutexLock guard(clientsLock_);
    return clients_ ? static_cast<IODriverAbstract*>(clients_->objectAtIndex(index)) : nullptr;
}

void IODriverAbstract::removeFinishedClients() {
    if (!clients_) return;
    for (uint32_t i = clients_->count(); i-- > 0;) {
        if (!static_cast<IODriverAbstract*>(clients_->objectAtIndex(i))->isOpen()) clients_->removeObjectAtIndex(i);
    }
}

uint32_t IODriverAbstract::liveClientCount() {
    MutexLock guard(clientsLock_);
    removeFinishedClients();
    return clients_ ? clients_->count() : 0;
}

void IODriverAbstract::addClient(IODriverAbstract* client) {
    AutoreleasePool pool;
    BaseString* name = internString("NEW_CLIENT_CONNECTED_NOTIFICATION"_lit);
    {
        MutexLock guard(clientsLock_);
        removeFinishedClients();
        if (!clients_) clients_ = new BaseArray();
        clients_->addObject(client);
    }
    sharedNotificationCenter()->postNotification(name, nullptr, this, nullptr);
}
