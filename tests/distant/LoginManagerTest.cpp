#include <gtest/gtest.h>

#include "base/AutoreleasePool.h"
#include "base/BaseDictionary.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "distant/LoginManager.h"

namespace {

BaseString* str(const char* text) { return createAutoreleased<BaseString>(text); }

// Rules like the bridge's: one allowed agent, one credential with a password only.
LoginManager* bridgeRules(int32_t mode) {
    auto* rules = createAutoreleased<LoginManager>(mode);
    rules->addAllowedUserAgent(str("App"));
    rules->addCredential(nullptr, str("secret"));
    return rules;
}

}  // namespace

TEST(LoginRules, BridgeModeChecksAgentThenPassword) {
    AutoreleasePool pool;
    LoginManager* rules = bridgeRules(LoginCheckUserAgent | LoginCheckPassword);
    EXPECT_EQ(rules->checkLogin(str("App"), nullptr, str("secret")), LoginOk);
    EXPECT_EQ(rules->checkLogin(str("App"), str("ignored"), str("secret")), LoginOk);
    EXPECT_EQ(rules->checkLogin(str("Other"), nullptr, str("wrong")), LoginBadUserAgent);
    EXPECT_EQ(rules->checkLogin(nullptr, nullptr, str("secret")), LoginBadUserAgent);
    EXPECT_EQ(rules->checkLogin(str("App"), nullptr, nullptr), LoginBadPassword);
    EXPECT_EQ(rules->checkLogin(str("App"), nullptr, str("Secret")), LoginBadPassword);
    // Values of another kind never match the stored strings.
    EXPECT_EQ(rules->checkLogin(createAutoreleased<BaseNumber>(1), nullptr, str("secret")), LoginBadUserAgent);
    EXPECT_EQ(rules->checkLogin(str("App"), nullptr, createAutoreleased<BaseNumber>(1)), LoginBadPassword);
}

TEST(LoginRules, UserNameModes) {
    AutoreleasePool pool;
    auto* rules = createAutoreleased<LoginManager>(LoginCheckUserAgent | LoginCheckUsername | LoginCheckPassword);
    rules->addAllowedUserAgent(str("App"));
    rules->addCredential(str("ann"), nullptr);  // a credential without a password never lets anyone in
    rules->addCredential(str("bob"), str("pw"));
    EXPECT_EQ(rules->checkLogin(str("App"), str("bob"), str("pw")), LoginOk);
    EXPECT_EQ(rules->checkLogin(str("App"), str("ann"), str("pw")), LoginBadPassword);
    EXPECT_EQ(rules->checkLogin(str("App"), str("bob"), nullptr), LoginBadPassword);
    EXPECT_EQ(rules->checkLogin(str("App"), str("eve"), str("pw")), LoginBadUsername);
    EXPECT_EQ(rules->checkLogin(str("App"), nullptr, str("pw")), LoginBadUsername);

    auto* namesOnly = createAutoreleased<LoginManager>(LoginCheckUsername);
    namesOnly->addCredential(str("ann"), nullptr);
    EXPECT_EQ(namesOnly->checkLogin(nullptr, str("ann"), nullptr), LoginOk);
    EXPECT_EQ(createAutoreleased<LoginManager>(0)->checkLogin(nullptr, nullptr, nullptr), LoginOk);
}

TEST(LoginRules, ListsAreEmptiedAndRefilled) {
    AutoreleasePool pool;
    LoginManager* rules = bridgeRules(LoginCheckUserAgent | LoginCheckPassword);
    EXPECT_TRUE(rules->addCredential(nullptr, nullptr));  // adds nothing
    EXPECT_NE(rules->findCredential("Password", str("secret")), nullptr);
    EXPECT_EQ(rules->findCredential("Username", str("secret")), nullptr);
    rules->removeAllCredentials();
    rules->removeAllUserAgents();
    EXPECT_EQ(rules->checkLogin(str("App"), nullptr, str("secret")), LoginBadUserAgent);
    rules->addAllowedUserAgent(str("App"));
    EXPECT_EQ(rules->checkLogin(str("App"), nullptr, str("secret")), LoginBadPassword);
}

TEST(LoginRules, SharedManagerKeepsItsFirstMode) {
    LoginManager* first = sharedLoginManager(5);
    EXPECT_EQ(sharedLoginManager(6), first);
    EXPECT_EQ(first->mode(), 5);
}
