#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "TrackedObject.h"
#include "base/AutoreleasePool.h"

TEST(AutoreleasePool, DrainsInReverseOrderOfAutorelease) {
    std::vector<int> destroyed;
    {
        AutoreleasePool pool;
        for (int id = 1; id <= 4; ++id) createAutoreleased<TrackedObject>(&destroyed, id);
    }
    EXPECT_EQ(destroyed, (std::vector<int>{4, 3, 2, 1}));
}

TEST(AutoreleasePool, ObjectAutoreleasedTwiceIsReleasedTwice) {
    std::vector<int> destroyed;
    auto* object = new TrackedObject(&destroyed, 1);
    retain(object);
    {
        AutoreleasePool pool;
        autorelease(object);
        autorelease(object);
        EXPECT_EQ(object->retainCount(), 2);
    }
    EXPECT_EQ(destroyed, std::vector<int>{1});
}

TEST(AutoreleasePool, NestedPoolsAndHandingAResultOutward) {
    std::vector<int> destroyed;
    {
        AutoreleasePool outer;
        {
            AutoreleasePool inner;
            EXPECT_EQ(AutoreleasePool::currentPool(0), &inner);
            EXPECT_EQ(AutoreleasePool::currentPool(1), &outer);
            EXPECT_EQ(AutoreleasePool::currentPool(2), nullptr);
            createAutoreleased<TrackedObject>(&destroyed, 1);
            auto* result = createAutoreleased<TrackedObject>(&destroyed, 2);
            autorelease(retain(result), 1);
        }
        EXPECT_EQ(destroyed, std::vector<int>{1});
        EXPECT_EQ(AutoreleasePool::currentPool(0), &outer);
    }
    EXPECT_EQ(destroyed, (std::vector<int>{1, 2}));
    EXPECT_EQ(AutoreleasePool::currentPool(0), nullptr);
}

TEST(AutoreleasePool, OlderPoolClosedFirstHandsItsObjectsToTheNewer) {
    std::vector<int> destroyed;
    std::optional<AutoreleasePool> older, newer;  // optional only to close them out of order
    older.emplace();
    createAutoreleased<TrackedObject>(&destroyed, 1);
    newer.emplace();
    createAutoreleased<TrackedObject>(&destroyed, 2);
    older.reset();
    EXPECT_TRUE(destroyed.empty());
    EXPECT_EQ(AutoreleasePool::currentPool(0), &*newer);
    EXPECT_EQ(AutoreleasePool::currentPool(1), nullptr);
    newer.reset();
    EXPECT_EQ(destroyed, (std::vector<int>{1, 2}));
    EXPECT_EQ(AutoreleasePool::currentPool(0), nullptr);
}

TEST(AutoreleasePool, ObjectsAutoreleasedDuringDrainGoToThePoolBelow) {
    std::vector<int> destroyed;

    class Releaser : public BaseObject {
    public:
        explicit Releaser(std::vector<int>* log) : log_(log) {}
        ~Releaser() override { createAutoreleased<TrackedObject>(log_, 99); }

    private:
        std::vector<int>* log_;
    };

    {
        AutoreleasePool outer;
        {
            AutoreleasePool inner;
            createAutoreleased<Releaser>(&destroyed);
        }
        EXPECT_TRUE(destroyed.empty());
        EXPECT_EQ(outer.count(), 1u);
    }
    EXPECT_EQ(destroyed, std::vector<int>{99});
}

TEST(AutoreleasePool, EachThreadHasItsOwnStack) {
    AutoreleasePool mainPool;
    AutoreleasePool* seenOnOtherThread = &mainPool;
    std::thread other([&] {
        seenOnOtherThread = AutoreleasePool::currentPool(0);
        AutoreleasePool pool;
        createAutoreleased<TrackedObject>();
        EXPECT_EQ(AutoreleasePool::currentPool(0), &pool);
    });
    other.join();
    EXPECT_EQ(seenOnOtherThread, nullptr);
    EXPECT_EQ(AutoreleasePool::currentPool(0), &mainPool);
    EXPECT_EQ(mainPool.count(), 0u);
}
