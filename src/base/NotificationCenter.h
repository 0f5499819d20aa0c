// NotificationCenter: delivers named notifications synchronously, on the posting thread, to the objects
// registered for that name (through their observeNotification). Observers are held weakly: registering
// does not keep an observer alive, so an observer unregisters before it goes away. Observers registered
// under the empty name receive every notification, after those of the name itself.
//
// Locks: the name table and each observer list have their own recursive lock, and no operation holds two
// at once; posting holds the observer list's lock while its observers run. An observer may register or
// unregister from inside its callback; another thread that changes the same list waits for the observers
// of the current notification to return.
#pragma once

#include "base/BaseObject.h"

class BaseDictionary;
class BaseArray;

class NotificationCenter : public BaseObject {
public:
    NotificationCenter();
    ~NotificationCenter() override;

    void addObserver(BaseObject* observer, BaseString* name);
    void removeObserver(BaseObject* observer, BaseString* name);
    // skipCenter concerns forwarding to a parent center, which no center here has.
    virtual void postNotification(BaseString* name, BaseObject* info, BaseObject* sender, NotificationCenter* skipCenter);

private:
    // The observer list of name, retained for the caller's pool, or null.
    BaseArray* observersFor(BaseString* name);
    void deliver(BaseArray* observers, BaseString* name, BaseObject* info, BaseObject* sender);

    BaseDictionary* observersByName_;
};

// The one center of the process, made on first use; lives until the module unloads.
NotificationCenter* sharedNotificationCenter();
