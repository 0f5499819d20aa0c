// IODriverAbstract: a stream that talks to a device through the operating system and may serve several
// peers. It adds being open (connected), listening for peers on a thread of its own (the driver thread
// runs acceptLoop), and the list of accepted peers. Each accepted peer is appended to the list and
// announced with the notification "NEW_CLIENT_CONNECTED_NOTIFICATION" (sender: this driver), delivered on
// the driver thread; observers find the new peer at the last index. Peers that have finished (closed)
// leave the list when the next one arrives, so the list holds live peers and the newest one.
#pragma once

#include <atomic>

#include "io/IOAbstract.h"
#include "platform/Mutex.h"
#include "thread/BaseThread.h"

class BaseArray;

class IODriverAbstract : public IOAbstract, public BaseThread {
public:
    // The time-out, in seconds, that means no time-out at all.
    static constexpr int32_t NoTimeout = 2147483647;

    IODriverAbstract();
    ~IODriverAbstract() override;

    const char* className() const override;

    // read and write wait without limit.
    bool read(void* destination, uint64_t* count) override;
    bool write(const void* source, uint64_t count) override;
    // Drops the peers and stops listening; false when the driver was not listening.
    bool close() override;

    virtual bool connect();
    // Starts a fresh peer list and the driver thread.
    virtual bool listen();
    virtual void acceptLoop();
    virtual bool isReadable();
    virtual bool readWithTimeout(void* destination, uint64_t* count, int32_t seconds);
    virtual bool writeWithTimeout(const void* source, uint64_t count, int32_t seconds);
    // A new driver of the same kind, owned by the caller.
    virtual IODriverAbstract* newClient();

    bool isOpen() const { return open_.load(std::memory_order_acquire); }
    bool isListening() const { return listening_.load(std::memory_order_acquire); }
    uint32_t clientCount();
    IODriverAbstract* clientAtIndex(uint32_t index);
    // Appends a peer (the list takes a reference) and announces it.
    void addClient(IODriverAbstract* client);

protected:
    void threadMethod() override;
    void setOpen(bool open) { open_.store(open, std::memory_order_release); }
    // Peers still open, after the finished ones left the list.
    uint32_t liveClientCount();

private:
    void removeFinishedClients() REQUIRES(clientsLock_);

    std::atomic<bool> open_{false};
    std::atomic<bool> listening_{false};
    BaseArray* clients_ GUARDED_BY(clientsLock_) = nullptr;
    RecursiveMutex clientsLock_;
};
