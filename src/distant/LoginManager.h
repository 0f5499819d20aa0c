// LoginManager: the login rules every new connection is checked against: which checks are on (the mode),
// which user agents are allowed, and which user-name and password pairs are valid. One manager is shared
// by the process. Its lists are changed by the bridge on the simulator's thread while logins are checked
// on the accept thread, so each list is used under the manager's own lock.
#pragma once

#include "base/BaseObject.h"
#include "platform/Mutex.h"

class BaseArray;
class BaseDictionary;
class BaseString;

enum LoginResult : int32_t {
    LoginOk = 0,
    LoginBadUsername = 1,
    LoginBadPassword = 2,
    LoginBadUserAgent = 3,
    LoginRefused = 4,
    LoginBadProtocolVersion = 5,
};

enum LoginCheck : int32_t {
    LoginCheckUserAgent = 1,
    LoginCheckUsername = 2,
    LoginCheckPassword = 4,
};

class LoginManager : public BaseObject {
public:
    explicit LoginManager(int32_t mode);
    ~LoginManager() override;

    int32_t mode() const { return mode_; }
    void removeAllUserAgents();
    void addAllowedUserAgent(BaseString* userAgent);
    void removeAllCredentials();
    // A credential with "Username" and/or "Password"; nothing when both are null. Always true.
    bool addCredential(BaseString* username, BaseString* password);
    // The first credential whose value for key equals value, or null (autoreleased).
    BaseDictionary* findCredential(const char* key, const BaseObject* value) EXCLUDES(mutex_);
    // The result code for these values (each may be null); the first failing check decides.
    LoginResult checkLogin(const BaseObject* userAgent, const BaseObject* username, const BaseObject* password);

private:
    BaseDictionary* findCredentialLocked(const char* key, const BaseObject* value) REQUIRES(mutex_);

    RecursiveMutex mutex_;
    BaseArray* allowedUserAgents_ PT_GUARDED_BY(mutex_);
    BaseArray* credentials_ PT_GUARDED_BY(mutex_);
    int32_t mode_;
};

// The one manager, made with mode by the first call; later calls ignore mode. Lives until unload.
LoginManager* sharedLoginManager(int32_t mode);
