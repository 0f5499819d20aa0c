#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "TrackedObject.h"
#include "base/AutoreleasePool.h"
#include "base/BaseString.h"
#include "base/BaseTypedArray.h"

namespace {

class ThrowingObject : public BaseObject {
public:
    ThrowingObject() { throw std::runtime_error("constructor failed"); }
};

}  // namespace

TEST(ReferenceCounting, ReleaseOfLastOwnerDestroysAndReturnsNull) {
    std::vector<int> destroyed;
    auto* object = new TrackedObject(&destroyed, 1);
    EXPECT_EQ(object->retainCount(), 1);
    EXPECT_EQ(retain(object), object);
    EXPECT_EQ(object->retainCount(), 2);
    EXPECT_EQ(release(object), object);
    EXPECT_TRUE(destroyed.empty());
    EXPECT_EQ(release(object), nullptr);
    EXPECT_EQ(destroyed, std::vector<int>{1});
}

TEST(ReferenceCounting, EveryOperationAcceptsNull) {
    BaseObject* none = nullptr;
    EXPECT_EQ(retain(none), nullptr);
    EXPECT_EQ(release(none), nullptr);
    EXPECT_EQ(autorelease(none), nullptr);
    assignRetained(none, none);
    EXPECT_FALSE(hasClassName(none, "BaseObject"));
}

TEST(ReferenceCounting, AssignRetainedSwapsOwnership) {
    std::vector<int> destroyed;
    auto* first = new TrackedObject(&destroyed, 1);
    auto* second = new TrackedObject(&destroyed, 2);
    BaseObject* field = nullptr;
    assignRetained(field, first);
    EXPECT_EQ(first->retainCount(), 2);
    assignRetained(field, first);  // same value: nothing changes
    EXPECT_EQ(first->retainCount(), 2);
    assignRetained(field, second);
    EXPECT_EQ(first->retainCount(), 1);
    EXPECT_EQ(second->retainCount(), 2);
    release(first);
    release(second);
    EXPECT_EQ(destroyed, std::vector<int>{1});
    assignRetained(field, static_cast<BaseObject*>(nullptr));
    EXPECT_EQ(destroyed, (std::vector<int>{1, 2}));
}

TEST(ReferenceCounting, ConcurrentRetainReleaseKeepsCountExact) {
    auto* object = new TrackedObject();
    auto work = [object] {
        for (int i = 0; i < 100000; ++i) release(retain(object));
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(object->retainCount(), 1);
    release(object);
}

TEST(ObjectDefaults, EqualityHashCompareAndClassName) {
    BaseObject a, b;
    EXPECT_FALSE(a.isEqual(&b));
    EXPECT_FALSE(a.isEqual(nullptr));
    EXPECT_TRUE(a.isEqual(&a));
    uint64_t address = reinterpret_cast<uintptr_t>(&a);
    EXPECT_EQ(a.hash(), static_cast<uint32_t>(address) ^ static_cast<uint32_t>(address >> 32));
    EXPECT_STREQ(a.className(), "BaseObject");
    EXPECT_TRUE(hasClassName(&a, "BaseObject"));
    EXPECT_FALSE(hasClassName(&a, "BaseObjec"));
    BaseObject* lower = &a < &b ? &a : &b;
    BaseObject* higher = &a < &b ? &b : &a;
    EXPECT_EQ(lower->compare(higher), -1);
    EXPECT_EQ(higher->compare(lower), 1);
    EXPECT_EQ(a.compare(&a), 0);
    EXPECT_EQ(a.copy(0), nullptr);
    EXPECT_EQ(a.setValueForKey(&b, stringZero()), -1);
    EXPECT_EQ(a.valueForKey(stringZero()), nullptr);
}

TEST(ObjectDefaults, DifferentClassesOrderByDescendingClassName) {
    AutoreleasePool pool;
    BaseString* string = constantString("abc"_lit);
    BaseObject plain;
    // "BaseObject" sorts before "BaseString": the string compares as -1 against a plain object.
    EXPECT_EQ(string->compare(&plain), -1);
    EXPECT_EQ(plain.compare(string), 1);
}

TEST(ObjectDefaults, DescriptionNamesClassAndAddress) {
    AutoreleasePool pool;
    BaseObject object;
    BaseString* text = object.description(4);
    EXPECT_EQ(std::string(text->chars()).rfind("Unknown object of class BaseObject at ", 0), 0u);
    EXPECT_EQ(text->length(), std::string("Unknown object of class BaseObject at ").size() + 16);
    EXPECT_EQ(object.textValue()->length(), 0u);
    EXPECT_EQ(object.encodedBuffer(0), nullptr);  // neither JSON nor the record form asked for
}

TEST(TypeTest, TypedArrayPassesAsArray) {
    BaseTypedArray<BaseString> typed;
    EXPECT_TRUE(hasClassName(&typed, "BaseArray"));
    EXPECT_FALSE(hasClassName(&typed, "BaseTypedArray"));
}

TEST(AutoreleasingCreation, ObjectDiesWithItsPoolUnlessRetained) {
    std::vector<int> destroyed;
    TrackedObject* kept = nullptr;
    {
        AutoreleasePool pool;
        auto* dropped = createAutoreleased<TrackedObject>(&destroyed, 1);
        kept = createAutoreleased<TrackedObject>(&destroyed, 2);
        EXPECT_EQ(dropped->retainCount(), 1);
        EXPECT_EQ(pool.count(), 2u);
        retain(kept);
    }
    EXPECT_EQ(destroyed, std::vector<int>{1});
    EXPECT_EQ(kept->retainCount(), 1);
    release(kept);
    EXPECT_EQ(destroyed, (std::vector<int>{1, 2}));
}

TEST(AutoreleasingCreation, WithoutPoolTheCreatorOwnsTheObject) {
    ASSERT_EQ(AutoreleasePool::currentPool(0), nullptr);
    std::vector<int> destroyed;
    auto* object = createAutoreleased<TrackedObject>(&destroyed, 1);
    EXPECT_EQ(object->retainCount(), 1);
    EXPECT_EQ(autorelease(object), object);  // no pool: the caller keeps its reference
    EXPECT_EQ(object->retainCount(), 1);
    release(object);
    EXPECT_EQ(destroyed, std::vector<int>{1});
}

TEST(AutoreleasingCreation, LevelOneGoesToThePoolBelow) {
    std::vector<int> destroyed;
    {
        AutoreleasePool outer;
        {
            AutoreleasePool inner;
            createAutoreleasedAtLevel<TrackedObject>(1, &destroyed, 1);
            EXPECT_EQ(inner.count(), 0u);
            EXPECT_EQ(outer.count(), 1u);
        }
        EXPECT_TRUE(destroyed.empty());
    }
    EXPECT_EQ(destroyed, std::vector<int>{1});
}

TEST(AutoreleasingCreation, PlainCreationInsideAPoolIsNotAutoreleased) {
    AutoreleasePool pool;
    auto* object = new TrackedObject();
    EXPECT_EQ(pool.count(), 0u);
    release(object);
}

TEST(AutoreleasingCreation, ThrowingConstructorLeavesPoolAndPendingTableClean) {
    std::vector<int> destroyed;
    AutoreleasePool pool;
    for (int i = 0; i < 5; ++i) {  // more failures than pending entries
        EXPECT_THROW(createAutoreleased<ThrowingObject>(), std::runtime_error);
    }
    EXPECT_EQ(pool.count(), 0u);
    {
        // Meant for the pool below: the failed object leaves that pool too.
        AutoreleasePool inner;
        for (int i = 0; i < 5; ++i) {
            EXPECT_THROW(createAutoreleasedAtLevel<ThrowingObject>(1), std::runtime_error);
        }
        EXPECT_EQ(inner.count(), 0u);
        EXPECT_EQ(pool.count(), 0u);
    }
    // Pending entries were all freed: a new creation is still autoreleased.
    createAutoreleased<TrackedObject>(&destroyed, 1);
    EXPECT_EQ(pool.count(), 1u);
}

TEST(AutoreleasingCreation, PendingTableHoldsThreeEntries) {
    AutoreleasePool pool;
    void* storage[4];
    EXPECT_TRUE(pool.registerPending(&storage[0], 0));
    EXPECT_TRUE(pool.registerPending(&storage[1], 0));
    EXPECT_TRUE(pool.registerPending(&storage[2], 1));
    EXPECT_FALSE(pool.registerPending(&storage[3], 0));
    int level = -1;
    EXPECT_TRUE(pool.takePending(&storage[2], &level));
    EXPECT_EQ(level, 1);
    EXPECT_FALSE(pool.takePending(&storage[2], &level));
    EXPECT_TRUE(pool.registerPending(&storage[3], 0));
    for (void* s : {&storage[0], &storage[1], &storage[3]}) EXPECT_TRUE(pool.takePending(s, &level));
}
