// SharedSocketHandle: an OS socket that one thread may close while others are reading or writing it.
// Closing shuts the socket down at once, which wakes every blocked call, but the handle itself is only
// given back to the system when its last user lets go, so its number is never reused under a user's feet.
// Users hold a SocketUse for the duration of each call.
#pragma once

#include <map>

#include "platform/Mutex.h"
#include "platform/Socket.h"

class SharedSocketHandle {
public:
    SharedSocketHandle() = default;
    ~SharedSocketHandle();
    SharedSocketHandle(const SharedSocketHandle&) = delete;
    SharedSocketHandle& operator=(const SharedSocketHandle&) = delete;

    // Takes ownership of a new handle; the current one must be closed.
    void adopt(SocketHandle handle) EXCLUDES(mutex_);
    bool isValid() EXCLUDES(mutex_);
    // Shuts the current handle down and closes it now, or when its last user lets go.
    void shutdownAndClose() EXCLUDES(mutex_);
    // Closes the current handle so that the peer sees a reset; while it is in use, as shutdownAndClose does
    // (the peer then sees an orderly close).
    void resetAndClose() EXCLUDES(mutex_);

private:
    friend class SocketUse;
    SocketHandle acquire() EXCLUDES(mutex_);
    void letGo(SocketHandle handle) EXCLUDES(mutex_);

    Mutex mutex_;
    SocketHandle current_ GUARDED_BY(mutex_) = InvalidSocket;
    // Every read and write is a use: counting the current handle's users in place costs no map entry.
    int currentUsers_ GUARDED_BY(mutex_) = 0;
    // Handles shut down while in use, with their remaining users.
    std::map<SocketHandle, int> closing_ GUARDED_BY(mutex_);
};

// One use of a shared socket, for the length of a scope. handle() is InvalidSocket when it was closed.
class SocketUse {
public:
    explicit SocketUse(SharedSocketHandle& shared) : shared_(shared), handle_(shared.acquire()) {}
    ~SocketUse() {
        if (handle_ != InvalidSocket) shared_.letGo(handle_);
    }
    SocketUse(const SocketUse&) = delete;
    SocketUse& operator=(const SocketUse&) = delete;

    SocketHandle handle() const { return handle_; }
    bool isValid() const { return handle_ != InvalidSocket; }

private:
    SharedSocketHandle& shared_;
    SocketHandle handle_;
};
