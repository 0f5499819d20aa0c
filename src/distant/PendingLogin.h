// PendingLogin: the login of one newly accepted connection, read on a thread of its own, so that a peer that
// connects and stays silent delays nobody else: each login has only its own 5-second deadline to meet.
//
// The listening center makes one for each accepted connection and keeps it until its thread has ended (it
// joins every one before it goes away), so the login holds a plain pointer to its center. The login holds
// the new connection until the login object has been read; the center then admits or refuses it.
#pragma once

#include <string>

#include "base/BaseObject.h"
#include "platform/Mutex.h"
#include "thread/BaseThread.h"

class DistantObjectsCenter;

class PendingLogin : public BaseObject, public BaseThread {
public:
    PendingLogin(DistantObjectsCenter* listener, DistantObjectsCenter* connection);
    ~PendingLogin() override;

    const char* className() const override;
    // Any thread: a login still waiting for its object stops waiting and its connection closes. A login
    // whose object has arrived is left to finish; its answer takes no time.
    void abandon() EXCLUDES(mutex_);
    // Its thread has ended: joining it will not wait.
    bool finished() { return threadState() == THREAD_FINISHED; }
    // Still waiting for the login object.
    bool waiting() EXCLUDES(mutex_);
    // The peer's address as text, as the connection was accepted.
    const std::string& peer() const { return peer_; }

protected:
    void threadMethod() override EXCLUDES(mutex_);

private:
    DistantObjectsCenter* takeConnection() EXCLUDES(mutex_);

    DistantObjectsCenter* listener_;
    std::string peer_;
    Mutex mutex_;
    DistantObjectsCenter* connection_ GUARDED_BY(mutex_);  // null once the login object was read
};
