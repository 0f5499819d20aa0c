#include "base/NotificationCenter.h"

#include <mutex>

#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/BaseArrayEnumerator.h"
#include "base/BaseDictionary.h"
#include "base/BaseString.h"
#include "base/SharedObjectsLock.h"
#include "base/WeakRefObject.h"

namespace {

SharedInstance<NotificationCenter> sharedCenter;

}  // namespace

NotificationCenter::NotificationCenter() : observersByName_(new BaseDictionary(LockableForm{})) {}

NotificationCenter::~NotificationCenter() { release(observersByName_); }

// The name table's lock and an observer list's lock are never held together: an observer may unregister
// from inside its callback (holding its list's lock) while another thread registers, and holding both in
// opposite orders could deadlock the two threads.
void NotificationCenter::addObserver(BaseObject* observer, BaseString* name) {
    if (!observer || !name) return;
    AutoreleasePool pool;
    BaseArray* observers = nullptr;
    {
        std::lock_guard<BaseLockableCollection> tableGuard(*observersByName_);
        observers = static_cast<BaseArray*>(BaseDictionary::objectForKey(observersByName_, name));
        if (!observers) {
            observers = createAutoreleased<BaseArray>(LockableForm{});
            observersByName_->setObjectForKey(observers, name);
        }
        autorelease(retain(observers));
    }
    std::lock_guard<BaseLockableCollection> listGuard(*observers);
    if (!observers->containsObject(observer)) observers->addObject(createAutoreleased<WeakRefObject>(observer));
}

void NotificationCenter::removeObserver(BaseObject* observer, BaseString* name) {
    if (!observer || !name) return;
    AutoreleasePool pool;
    BaseArray* observers = observersFor(name);
    if (!observers) return;
    std::lock_guard<BaseLockableCollection> listGuard(*observers);
    if (observers->containsObject(observer)) observers->removeObject(observer);
}

BaseArray* NotificationCenter::observersFor(BaseString* name) {
    std::lock_guard<BaseLockableCollection> guard(*observersByName_);
    auto* observers = static_cast<BaseArray*>(BaseDictionary::objectForKey(observersByName_, name));
    return autorelease(retain(observers));
}

// The observers run on a snapshot of the list, taken and walked under the list's lock, so that an
// observer that registers or unregisters from inside its callback does not disturb the walk.
void NotificationCenter::deliver(BaseArray* observers, BaseString* name, BaseObject* info, BaseObject* sender) {
    if (!observers) return;
    std::lock_guard<BaseLockableCollection> guard(*observers);
    auto* snapshot = static_cast<BaseArray*>(observers->copy(1));
    for (BaseObject* observer : BaseArrayEnumerator(snapshot)) observer->observeNotification(name, info, sender);
    release(snapshot);
}

void NotificationCenter::postNotification(BaseString* name, BaseObject* info, BaseObject* sender,
                                          NotificationCenter*) {
    if (!name) return;
    AutoreleasePool pool;
    deliver(observersFor(name), name, info, sender);
    if (name->length() > 0) deliver(observersFor(constantString(""_lit)), name, info, sender);
}

NotificationCenter* sharedNotificationCenter() {
    return sharedCenter.get([] { return new NotificationCenter(); });
}
