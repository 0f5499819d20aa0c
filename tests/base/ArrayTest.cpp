#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "TrackedObject.h"
#include "base/AutoreleasePool.h"
#include "base/BaseArrayEnumerator.h"
#include "base/BaseString.h"
#include "base/BaseTypedArray.h"

namespace {

BaseString* str(const char* text) { return createAutoreleased<BaseString>(text); }

std::string joined(const BaseArray* array) {
    std::string result;
    for (BaseObject* element : BaseArrayEnumerator(array)) {
        if (!result.empty()) result += ",";
        result += static_cast<BaseString*>(element)->chars();
    }
    return result;
}

BaseArray* arrayOf(std::initializer_list<const char*> texts) {
    auto* array = createAutoreleased<BaseArray>();
    for (const char* text : texts) array->addObject(str(text));
    return array;
}

}  // namespace

TEST(ArrayGrowth, EighthAppendDoublesCapacityAndAFreeSlotRemains) {
    AutoreleasePool pool;
    BaseArray array;
    EXPECT_EQ(array.capacity(), 0u);
    for (int i = 0; i < 7; ++i) array.addObject(stringZero());
    EXPECT_EQ(array.capacity(), 8u);
    array.addObject(stringZero());
    EXPECT_EQ(array.capacity(), 16u);
    for (int i = 0; i < 100; ++i) {
        array.addObject(stringZero());
        EXPECT_LT(array.count(), array.capacity());  // a free slot always remains
    }
    BaseArray sized(3);
    EXPECT_EQ(sized.capacity(), 3u);
    sized.addObject(nullptr);
    EXPECT_EQ(sized.count(), 0u);
}

TEST(ArrayElements, EveryElementIsRetainedWhileStored) {
    std::vector<int> destroyed;
    auto* array = new BaseArray();
    auto* a = new TrackedObject(&destroyed, 1);
    auto* b = new TrackedObject(&destroyed, 2);
    array->addObject(a);
    array->addObject(b);
    release(a);
    release(b);
    EXPECT_TRUE(destroyed.empty());
    auto* c = new TrackedObject(&destroyed, 3);
    array->replaceObjectAtIndex(0, c);
    release(c);
    EXPECT_EQ(destroyed, std::vector<int>{1});
    EXPECT_TRUE(array->removeObjectAtIndex(1));
    EXPECT_FALSE(array->removeObjectAtIndex(1));
    EXPECT_EQ(destroyed, (std::vector<int>{1, 2}));
    release(array);
    EXPECT_EQ(destroyed, (std::vector<int>{1, 2, 3}));
}

TEST(ArrayElements, DestructionReleasesLastToFirst) {
    std::vector<int> destroyed;
    auto* array = new BaseArray();
    for (int id = 1; id <= 3; ++id) {
        auto* object = new TrackedObject(&destroyed, id);
        array->addObject(object);
        release(object);
    }
    release(array);
    EXPECT_EQ(destroyed, (std::vector<int>{3, 2, 1}));
}

TEST(ArrayElements, AppendingAnArrayToItselfDoublesItInOrder) {
    AutoreleasePool pool;
    BaseArray* array = arrayOf({"a", "b", "c", "d", "e", "f", "g"});
    array->addObjectsFromArray(array, 0);
    EXPECT_EQ(joined(array), "a,b,c,d,e,f,g,a,b,c,d,e,f,g");
    array->addObjectsFromArray(array, 13);
    EXPECT_EQ(array->count(), 15u);
    array->addObjectsFromArray(arrayOf({"x"}), 5);  // start beyond the other's count
    EXPECT_EQ(array->count(), 15u);
}

TEST(ArraySearch, IdentityFromTheEndEqualityFromTheStart) {
    AutoreleasePool pool;
    BaseString* x = str("x");
    auto* array = createAutoreleased<BaseArray>();
    array->addObject(str("a"));
    array->addObject(x);
    array->addObject(str("b"));
    array->addObject(x);
    EXPECT_EQ(array->indexOfObjectIdenticalTo(x), 3u);
    EXPECT_EQ(array->indexOfObject(str("x")), 1u);
    EXPECT_EQ(array->indexOfObject(nullptr), BaseArray::NotFound);
    EXPECT_EQ(array->indexOfObjectIdenticalTo(str("x")), BaseArray::NotFound);
    EXPECT_TRUE(array->containsObject(str("b")));
    EXPECT_FALSE(array->containsObject(str("q")));
    EXPECT_EQ(BaseArray::lastObject(array), x);
    EXPECT_EQ(BaseArray::lastObject(nullptr), nullptr);
    EXPECT_EQ(array->objectAtIndex(4), nullptr);
}

TEST(ArrayRemoval, RemoveObjectKeepsTheOrderOfTheRest) {
    AutoreleasePool pool;
    BaseArray* array = arrayOf({"x", "a", "x", "b", "x"});
    EXPECT_TRUE(array->removeObject(str("x")));
    EXPECT_EQ(joined(array), "a,b");
    EXPECT_FALSE(array->removeObject(str("x")));
    EXPECT_EQ(joined(array), "a,b");
    array->removeLastObject();
    EXPECT_EQ(joined(array), "a");
    uint32_t capacity = array->capacity();
    array->removeAllObjects();
    EXPECT_EQ(array->count(), 0u);
    EXPECT_EQ(array->capacity(), capacity);
    array->removeLastObject();  // empty: nothing happens
}

TEST(ArraySort, OrdersByCompareAndSurvivesAnInconsistentCompare) {
    AutoreleasePool pool;
    BaseArray* array = arrayOf({"pear", "apple", "fig", "banana", "apple", "cherry"});
    array->sortUsingCompare();
    EXPECT_EQ(joined(array), "apple,apple,banana,cherry,fig,pear");

    // An element whose compare always answers -1 gives some order but never a stray access.
    class Contrary : public BaseObject {
        int compare(const BaseObject*) const override { return -1; }
    };
    auto* odd = createAutoreleased<BaseArray>();
    for (int i = 0; i < 200; ++i) odd->addObject(createAutoreleased<Contrary>());
    odd->sortUsingCompare();
    EXPECT_EQ(odd->count(), 200u);
    BaseArray empty;
    empty.sortUsingCompare();
}

TEST(ArrayKeys, ValueForKeyReadsTheKeyAsAnIndex) {
    AutoreleasePool pool;
    BaseArray* array = arrayOf({"a", "b", "c"});
    EXPECT_STREQ(static_cast<BaseString*>(array->valueForKey(str("2")))->chars(), "c");
    EXPECT_STREQ(static_cast<BaseString*>(array->valueForKey(str("0")))->chars(), "a");
    EXPECT_STREQ(static_cast<BaseString*>(array->valueForKey(str(" 1x")))->chars(), "b");
    EXPECT_EQ(array->valueForKey(str("00")), nullptr);
    EXPECT_EQ(array->valueForKey(str("abc")), nullptr);
    EXPECT_EQ(array->valueForKey(str("-1")), nullptr);
    EXPECT_EQ(array->valueForKey(str("3")), nullptr);
}

TEST(ArrayKeys, SetValueForKeyResultCodes) {
    AutoreleasePool pool;
    BaseArray* array = arrayOf({"a", "b", "c"});
    BaseString* x = str("x");
    EXPECT_EQ(array->setValueForKey(x, str("3")), BaseArray::KeyAdded);
    EXPECT_EQ(array->objectAtIndex(3), x);
    EXPECT_EQ(array->setValueForKey(x, str("5")), BaseArray::KeyInvalid);
    EXPECT_EQ(array->setValueForKey(x, str("abc")), BaseArray::KeyInvalid);
    EXPECT_EQ(array->setValueForKey(x, str("1")), BaseArray::KeyReplaced);
    EXPECT_EQ(joined(array), "a,x,c,x");
    EXPECT_EQ(array->setValueForKey(nullptr, str("0")), BaseArray::KeyRemoved);
    EXPECT_EQ(joined(array), "x,c,x");
    EXPECT_EQ(array->setValueForKey(nullptr, str("9")), BaseArray::KeyNothingToRemove);
    EXPECT_EQ(array->setValueForKey(nullptr, str("-1")), BaseArray::KeyNothingToRemove);
    EXPECT_EQ(array->count(), 3u);
}

TEST(ArrayCopy, DeepShallowAndUnknownModes) {
    AutoreleasePool pool;
    BaseArray* array = arrayOf({"a", "b"});
    auto* deep = static_cast<BaseArray*>(array->copy(0));
    EXPECT_EQ(deep->retainCount(), 1);
    EXPECT_NE(deep->objectAtIndex(0), array->objectAtIndex(0));
    EXPECT_TRUE(deep->isEqual(array));
    auto* shallow = static_cast<BaseArray*>(array->copy(1));
    EXPECT_EQ(shallow->objectAtIndex(0), array->objectAtIndex(0));
    EXPECT_EQ(array->objectAtIndex(0)->retainCount(), 3);  // pool, array, shallow copy
    EXPECT_EQ(array->copy(7), nullptr);
    release(deep);
    release(shallow);

    BaseArray locked(LockableForm{});
    auto* lockedCopy = static_cast<BaseArray*>(locked.copy(1));
    EXPECT_TRUE(locked.hasLock());
    EXPECT_FALSE(lockedCopy->hasLock());
    release(lockedCopy);
}

TEST(ArrayEquality, OrderMattersForEqualityNotForHash) {
    AutoreleasePool pool;
    BaseArray* forward = arrayOf({"a", "b"});
    BaseArray* backward = arrayOf({"b", "a"});
    EXPECT_FALSE(forward->isEqual(backward));
    EXPECT_EQ(forward->hash(), backward->hash());
    EXPECT_TRUE(forward->isEqual(arrayOf({"a", "b"})));
    EXPECT_FALSE(forward->isEqual(arrayOf({"a"})));
    EXPECT_FALSE(forward->isEqual(str("a")));
    BaseArray empty1, empty2;
    EXPECT_TRUE(empty1.isEqual(&empty2));
    EXPECT_EQ(empty1.hash(), 0u);
}

TEST(ArrayEnumerator, NullArrayVisitsNothing) {
    int visited = 0;
    for (BaseObject* element : BaseArrayEnumerator(nullptr)) {
        (void)element;
        ++visited;
    }
    EXPECT_EQ(visited, 0);
    BaseArrayEnumerator walk(nullptr);
    EXPECT_TRUE(walk.atEnd());
}

TEST(ArrayShared, EmptyArrayIsOneObjectUnderConcurrentFirstUse) {
    std::atomic<BaseArray*> seen[4] = {};
    std::vector<std::thread> threads;
    for (auto& slot : seen) threads.emplace_back([&slot] { slot = sharedEmptyArray(); });
    for (auto& thread : threads) thread.join();
    for (auto& slot : seen) EXPECT_EQ(slot.load(), sharedEmptyArray());
    EXPECT_EQ(sharedEmptyArray()->count(), 0u);
    EXPECT_FALSE(sharedEmptyArray()->hasLock());
}

TEST(ArrayLock, LockableFormIsRecursive) {
    BaseArray array(LockableForm{});
    ASSERT_TRUE(array.hasLock());
    std::lock_guard<BaseLockableCollection> outer(array);
    std::lock_guard<BaseLockableCollection> inner(array);
    BaseArray unlockedByChoice(LockableForm{.withoutLock = true});
    EXPECT_FALSE(unlockedByChoice.hasLock());
}
