#include "distant/LoginManager.h"

#include "base/BaseArray.h"
#include "base/BaseDictionary.h"
#include "base/BaseString.h"
#include "base/SharedObjectsLock.h"

namespace {

constexpr const char* UsernameKey = "Username";
constexpr const char* PasswordKey = "Password";

SharedInstance<LoginManager> sharedManager;

}  // namespace

LoginManager::LoginManager(int32_t mode) : allowedUserAgents_(new BaseArray()), credentials_(new BaseArray()), mode_(mode) {}

LoginManager::~LoginManager() {
    release(allowedUserAgents_);
    release(credentials_);
}

void LoginManager::removeAllUserAgents() {
    MutexLock guard(mutex_);
    allowedUserAgents_->removeAllObjects();
}

void LoginManager::addAllowedUserAgent(BaseString* userAgent) {
    MutexLock guard(mutex_);
    allowedUserAgents_->addObject(userAgent);
}

void LoginManager::removeAllCredentials() {
    MutexLock guard(mutex_);
    credentials_->removeAllObjects();
}

bool LoginManager::addCredential(BaseString* username, BaseString* password) {
    if (!username && !password) return true;
    auto* credential = createAutoreleased<BaseDictionary>();
    if (username) credential->setObjectForCStringKey(username, UsernameKey);
    if (password) credential->setObjectForCStringKey(password, PasswordKey);
    MutexLock guard(mutex_);
    credentials_->addObject(credential);
    return true;
}

BaseDictionary* LoginManager::findCredential(const char* key, const BaseObject* value) {
    MutexLock guard(mutex_);
    return findCredentialLocked(key, value);
}

BaseDictionary* LoginManager::findCredentialLocked(const char* key, const BaseObject* value) {
    for (uint32_t i = 0; i < credentials_->count(); ++i) {
        auto* credential = static_cast<BaseDictionary*>(credentials_->objectAtIndex(i));
        BaseObject* stored = BaseDictionary::objectForCStringKey(credential, key);
        if (stored && stored->isEqual(value)) return autorelease(retain(credential));
    }
    return nullptr;
}

LoginResult LoginManager::checkLogin(const BaseObject* userAgent, const BaseObject* username,
                                     const BaseObject* password) {
    MutexLock guard(mutex_);
    if (mode_ == 0) return LoginOk;
    if ((mode_ & LoginCheckUserAgent) && (!userAgent || !allowedUserAgents_->containsObject(userAgent))) {
        return LoginBadUserAgent;
    }
    BaseDictionary* matched = nullptr;
    if (mode_ & LoginCheckUsername) {
        if (!username) return LoginBadUsername;
        matched = findCredentialLocked(UsernameKey, username);
        if (!matched) return LoginBadUsername;
    }
    if (!(mode_ & LoginCheckPassword)) return LoginOk;
    if (!matched) {
        if (!password) return LoginBadPassword;
        matched = findCredentialLocked(PasswordKey, password);
        if (!matched) return LoginBadPassword;
    }
    BaseObject* expected = BaseDictionary::objectForCStringKey(matched, PasswordKey);
    if (!expected || !password || !password->isEqual(expected)) return LoginBadPassword;
    return LoginOk;
}

LoginManager* sharedLoginManager(int32_t mode) {
    return sharedManager.get([mode] { return new LoginManager(mode); });
}

