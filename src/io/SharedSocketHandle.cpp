#include "io/SharedSocketHandle.h"

SharedSocketHandle::~SharedSocketHandle() { shutdownAndClose(); }

void SharedSocketHandle::adopt(SocketHandle handle) {
    MutexLock guard(mutex_);
    current_ = handle;
    currentUsers_ = 0;
}

bool SharedSocketHandle::isValid() {
    MutexLock guard(mutex_);
    return current_ != InvalidSocket;
}

SocketHandle SharedSocketHandle::acquire() {
    MutexLock guard(mutex_);
    if (current_ != InvalidSocket) ++currentUsers_;
    return current_;
}

// A handle in closing_ is still open, so the system cannot have given its number to current_.
void SharedSocketHandle::letGo(SocketHandle handle) {
    MutexLock guard(mutex_);
    if (handle == current_) {
        --currentUsers_;
        return;
    }
    auto closing = closing_.find(handle);
    if (closing == closing_.end() || --closing->second > 0) return;
    closing_.erase(closing);
    closeSocket(handle);
}

void SharedSocketHandle::shutdownAndClose() {
    MutexLock guard(mutex_);
    if (current_ == InvalidSocket) return;
    SocketHandle handle = current_;
    current_ = InvalidSocket;
    shutdownSocket(handle);
    if (currentUsers_ > 0) {
        closing_[handle] = currentUsers_;
    } else {
        closeSocket(handle);
    }
    currentUsers_ = 0;
}

void SharedSocketHandle::resetAndClose() {
    {
        MutexLock guard(mutex_);
        if (current_ != InvalidSocket && currentUsers_ == 0) {
            closeSocketWithReset(current_);
            current_ = InvalidSocket;
            return;
        }
    }
    shutdownAndClose();
}
