#include "io/SharedSocketHandle.h"

SharedSocketHandle::~SharedSocketHandle() { shutdownAndClose(); }

void SharedSocketHandle::adopt(SocketHandle handle) {
    std::lock_guard<std::mutex> guard(mutex_);
    current_ = handle;
}

bool SharedSocketHandle::isValid() {
    std::lock_guard<std::mutex> guard(mutex_);
    return current_ != InvalidSocket;
}

SocketHandle SharedSocketHandle::acquire() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (current_ != InvalidSocket) ++users_[current_];
    return current_;
}

void SharedSocketHandle::letGo(SocketHandle handle) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (--users_[handle] > 0) return;
    users_.erase(handle);
    if (closing_.erase(handle) > 0) closeSocket(handle);
}

void SharedSocketHandle::shutdownAndClose() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (current_ == InvalidSocket) return;
    SocketHandle handle = current_;
    current_ = InvalidSocket;
    shutdownSocket(handle);
    if (users_.count(handle) > 0) {
        closing_[handle] = true;
    } else {
        closeSocket(handle);
    }
}
