#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/AutoreleasePool.h"
#include "base/BaseArray.h"
#include "base/BaseDictionaryEnumerator.h"
#include "base/BaseNumber.h"
#include "base/BaseString.h"
#include "base/BaseTypedDictionary.h"
#include "base/Description.h"
#include "base/InternString.h"
#include "base/StringFormat.h"

namespace {

BaseString* str(const char* text) { return createAutoreleased<BaseString>(text); }
BaseNumber* num(int32_t value) { return createAutoreleased<BaseNumber>(value); }

std::string keyOrder(const BaseDictionary* dictionary) {
    std::string order;
    for (BaseDictionaryEnumerator e(dictionary); !e.atEnd(); e.advance()) {
        order += static_cast<BaseString*>(e.key())->chars();
    }
    return order;
}

BaseDictionary* withKeys(const char* keys) {
    auto* dictionary = createAutoreleased<BaseDictionary>();
    for (const char* k = keys; *k; ++k) {
        char key[2] = {*k, 0};
        dictionary->setObjectForKey(num(*k), str(key));
    }
    return dictionary;
}

std::string describe(const BaseObject* object, uint32_t flags) {
    BaseString* text = object->description(flags);
    return std::string(text->chars(), text->length());
}

}  // namespace

// One-letter keys: "a" and "i" share bucket 0 of 8, the others spread one per bucket.
TEST(DictionaryBuckets, IterationRunsBucketByBucketNewestFirst) {
    AutoreleasePool pool;
    EXPECT_EQ(keyOrder(withKeys("abcdefgh")), "ahcbedgf");
    EXPECT_EQ(keyOrder(withKeys("ai")), "ia");
    EXPECT_EQ(keyOrder(withKeys("ia")), "ai");
}

TEST(DictionaryBuckets, NinthKeyDoublesTheTableAndEveryKeyIsStillFound) {
    AutoreleasePool pool;
    BaseDictionary* eight = withKeys("abcdefgh");
    EXPECT_EQ(eight->bucketCount(), 8u);
    eight->setObjectForKey(num(0), str("i"));
    EXPECT_EQ(eight->bucketCount(), 16u);
    EXPECT_EQ(eight->count(), 9u);
    EXPECT_EQ(keyOrder(eight), "acbedgfih");
    for (const char* key : {"a", "b", "c", "d", "e", "f", "g", "h", "i"}) {
        EXPECT_NE(BaseDictionary::objectForKey(eight, str(key)), nullptr) << key;
    }
    BaseDictionary* many = createAutoreleased<BaseDictionary>();
    for (int i = 0; i < 1000; ++i) many->setObjectForKey(num(i), stringWithFormat("key%d", i));
    EXPECT_EQ(many->bucketCount(), 1024u);
    EXPECT_TRUE(BaseDictionary::objectForKey(many, str("key777"))->isEqual(num(777)));
}

TEST(DictionaryBuckets, SizedConstructorRoundsUpToAPowerOfTwo) {
    AutoreleasePool pool;
    EXPECT_EQ(BaseDictionary(0).bucketCount(), 1u);
    EXPECT_EQ(BaseDictionary(5).bucketCount(), 8u);
    EXPECT_EQ(BaseDictionary(64).bucketCount(), 64u);
    BaseDictionary small(0);
    small.setObjectForKey(num(1), str("a"));
    small.setObjectForKey(num(2), str("b"));
    EXPECT_EQ(small.bucketCount(), 2u);
    EXPECT_TRUE(BaseDictionary::objectForKey(&small, str("b"))->isEqual(num(2)));
}

TEST(DictionaryEntries, ReplacingAValueKeepsTheFirstKeyObject) {
    AutoreleasePool pool;
    BaseDictionary dictionary;
    BaseString* firstKey = str("k");
    dictionary.setObjectForKey(num(1), firstKey);
    dictionary.setObjectForKey(num(2), str("k"));
    EXPECT_EQ(dictionary.count(), 1u);
    DictionaryEntry* entry = dictionary.findEntry(str("k"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->key, firstKey);
    EXPECT_TRUE(entry->value->isEqual(num(2)));
}

TEST(DictionaryEntries, KeysAndValuesAreOwnedByTheDictionary) {
    AutoreleasePool pool;
    BaseString* key = str("k");
    BaseNumber* value = num(1);
    auto* dictionary = new BaseDictionary();
    dictionary->setObjectForKey(value, key);
    EXPECT_EQ(key->retainCount(), 2);
    EXPECT_EQ(value->retainCount(), 2);
    dictionary->setObjectForKey(num(2), key);
    EXPECT_EQ(value->retainCount(), 1);
    release(dictionary);
    EXPECT_EQ(key->retainCount(), 1);
}

TEST(DictionaryTextKeys, CStringLookupsMeetStringKeys) {
    AutoreleasePool pool;
    BaseDictionary dictionary;
    dictionary.setObjectForKey(num(1), str("cmd_id"));
    EXPECT_TRUE(BaseDictionary::objectForCStringKey(&dictionary, "cmd_id")->isEqual(num(1)));
    EXPECT_EQ(BaseDictionary::objectForCStringKey(&dictionary, "cmd_i"), nullptr);
    EXPECT_EQ(BaseDictionary::objectForCStringKey(nullptr, "cmd_id"), nullptr);
    dictionary.setObjectForCStringKey(num(2), "latitude");
    EXPECT_TRUE(BaseDictionary::objectForKey(&dictionary, str("latitude"))->isEqual(num(2)));
    dictionary.setObjectForCStringKey(num(3), "cmd_id");
    EXPECT_EQ(dictionary.count(), 2u);
    dictionary.setStringForCStringKey("X-Plane", "Connected device_name");
    auto* name = BaseTypedDictionary<BaseString>::objectForCStringKey(&dictionary, "Connected device_name");
    EXPECT_STREQ(name->chars(), "X-Plane");
    // A number key never matches a text lookup, even when it shares the bucket.
    dictionary.setObjectForKey(num(4), num(static_cast<int32_t>(hashBytes("zz"))));
    EXPECT_EQ(BaseDictionary::objectForCStringKey(&dictionary, "zz"), nullptr);
}

TEST(DictionaryTextKeys, SetDoubleAsNumberOrAsText) {
    AutoreleasePool pool;
    BaseDictionary dictionary;
    dictionary.setDoubleForKey(1.5, str("text"), false);
    dictionary.setDoubleForKey(1.5, str("number"), true);
    BaseObject* text = BaseDictionary::objectForCStringKey(&dictionary, "text");
    ASSERT_TRUE(hasClassName(text, "BaseString"));
    EXPECT_STREQ(static_cast<BaseString*>(text)->chars(), "1.500000");
    EXPECT_TRUE(BaseDictionary::objectForCStringKey(&dictionary, "number")->isEqual(createAutoreleased<BaseNumber>(1.5)));
}

TEST(DictionaryKeys, SetValueForKeyResultCodes) {
    AutoreleasePool pool;
    BaseDictionary dictionary;
    EXPECT_EQ(dictionary.setValueForKey(num(1), str("a")), BaseArray::KeyAdded);
    EXPECT_EQ(dictionary.setValueForKey(num(2), str("a")), BaseArray::KeyReplaced);
    EXPECT_EQ(dictionary.setValueForKey(nullptr, str("b")), BaseArray::KeyNothingToRemove);
    EXPECT_EQ(dictionary.setValueForKey(nullptr, str("a")), BaseArray::KeyRemoved);
    EXPECT_EQ(dictionary.count(), 0u);
    EXPECT_EQ(dictionary.valueForKey(str("a")), nullptr);
}

TEST(DictionaryEquality, InsertionOrderDoesNotMatter) {
    AutoreleasePool pool;
    // "a", "i" and "q" share a bucket, so the two iteration orders differ.
    BaseDictionary* forward = withKeys("aiqbcd");
    BaseDictionary* backward = withKeys("dcbqia");
    EXPECT_NE(keyOrder(forward), keyOrder(backward));
    EXPECT_TRUE(forward->isEqual(backward));
    EXPECT_EQ(forward->hash(), backward->hash());
    uint32_t sorted = StylePlain | DescriptionFlag::Sorted;
    EXPECT_EQ(describe(forward, sorted), describe(backward, sorted));
    backward->setObjectForKey(num(0), str("a"));
    EXPECT_FALSE(forward->isEqual(backward));
    EXPECT_FALSE(forward->isEqual(withKeys("abc")));
    EXPECT_FALSE(forward->isEqual(createAutoreleased<BaseArray>()));
    EXPECT_EQ(BaseDictionary().hash(), 0u);
}

TEST(DictionaryCopy, ShallowSharesValuesDeepCopiesThemKeysAlwaysShared) {
    AutoreleasePool pool;
    BaseDictionary* source = withKeys("abc");
    source->setObjectForKey(str("text"), str("s"));
    auto* shallow = static_cast<BaseDictionary*>(source->copy(1));
    auto* deep = static_cast<BaseDictionary*>(source->copy(0));
    DictionaryEntry* original = source->findEntry(str("s"));
    EXPECT_EQ(shallow->findEntry(str("s"))->value, original->value);
    EXPECT_NE(deep->findEntry(str("s"))->value, original->value);
    EXPECT_TRUE(deep->findEntry(str("s"))->value->isEqual(original->value));
    EXPECT_EQ(deep->findEntry(str("s"))->key, original->key);
    EXPECT_TRUE(deep->isEqual(source));
    EXPECT_EQ(deep->retainCount(), 1);
    EXPECT_EQ(source->copy(2), nullptr);
    auto* emptyCopy = static_cast<BaseDictionary*>(BaseDictionary().copy(0));
    emptyCopy->setObjectForKey(num(1), str("x"));
    EXPECT_EQ(emptyCopy->count(), 1u);
    release(emptyCopy);
    release(shallow);
    release(deep);
}

TEST(DictionaryMerge, AddEntriesIgnoresItselfAndNull) {
    AutoreleasePool pool;
    BaseDictionary* target = withKeys("ab");
    target->addEntriesFromDictionary(target);
    target->addEntriesFromDictionary(nullptr);
    EXPECT_EQ(target->count(), 2u);
    target->addEntriesFromDictionary(withKeys("bc"));
    EXPECT_EQ(target->count(), 3u);
    BaseArray* keys = target->allKeys();
    EXPECT_EQ(keys->count(), 3u);
    EXPECT_FALSE(keys->hasLock());
    target->removeAllObjects();
    EXPECT_EQ(target->count(), 0u);
    EXPECT_EQ(target->bucketCount(), 8u);
}

TEST(DictionaryShared, EmptyDictionaryAndNullEnumeration) {
    EXPECT_EQ(sharedEmptyDictionary()->count(), 0u);
    EXPECT_EQ(sharedEmptyDictionary()->bucketCount(), 8u);
    EXPECT_TRUE(BaseDictionaryEnumerator(nullptr).atEnd());
    BaseDictionary locked(LockableForm{});
    EXPECT_TRUE(locked.hasLock());
    EXPECT_STREQ(BaseTypedDictionary<BaseString>().className(), "BaseDictionary");
}

TEST(DictionaryDescription, StylesKeysAndSeparators) {
    AutoreleasePool pool;
    BaseDictionary dictionary;
    dictionary.setObjectForKey(num(1), str("a"));
    EXPECT_EQ(describe(&dictionary, StylePlain), "DICTIONARY ( a -> 1 )");
    EXPECT_EQ(describe(&dictionary, StyleJSON), "{ \"a\" : 1 }");
    EXPECT_EQ(describe(&dictionary, StyleLua), "{ a = 1 }");
    EXPECT_EQ(describe(&dictionary, StyleXMLPlist), "<dict> <key>a</key>  <integer>1</integer> </dict>");
    EXPECT_EQ(describe(&dictionary, StyleBare), "{ a : 1 }");
    EXPECT_EQ(describe(&dictionary, StyleJSON | DescriptionFlag::Compact), "{\"a\":1}");
    EXPECT_EQ(describe(&dictionary, 7), "DICTIONARY ( a -> 1 )");

    BaseDictionary spaced;
    spaced.setObjectForKey(num(1), str("my key"));
    EXPECT_EQ(describe(&spaced, StyleLua), "{ [\"my key\"] = 1 }");
    BaseDictionary reserved;
    reserved.setObjectForKey(num(1), str("end"));
    EXPECT_EQ(describe(&reserved, StyleLua), "{ [\"end\"] = 1 }");
    BaseDictionary markup;
    markup.setObjectForKey(num(1), str("a<b"));
    EXPECT_EQ(describe(&markup, StyleXMLPlist), "<dict> <key>a&lt;b</key>  <integer>1</integer> </dict>");
}

TEST(DictionaryDescription, HeaderMarksOnlyLockedDictionaries) {
    AutoreleasePool pool;
    uint32_t flags = DescriptionFlag::ClassName | DescriptionFlag::EntryCount | DescriptionFlag::LockMarker;
    BaseDictionary plain;
    EXPECT_EQ(describe(&plain, flags), "BaseDictionary 0 entries  :\nDICTIONARY (  )");
    BaseDictionary locked(LockableForm{});
    EXPECT_EQ(describe(&locked, flags), "BaseDictionary 0 entries M :\nDICTIONARY (  )");
}

TEST(DictionaryDescription, LeavesOnlyTheResultInTheCallersPool) {
    AutoreleasePool pool;
    BaseDictionary* dictionary = withKeys("abcdefghijklmnop");
    uint32_t before = pool.count();
    dictionary->description(StyleLua);
    // The entry texts and their array, the layout pieces and the result: nothing per entry beyond its text.
    EXPECT_LT(pool.count() - before, 12u);
}

TEST(InternedStrings, OneSharedStringPerText) {
    AutoreleasePool pool;
    BaseString* first = internString("User-Agent"_lit);
    EXPECT_EQ(internString("User-Agent"_lit), first);
    EXPECT_STREQ(first->chars(), "User-Agent");
    EXPECT_NE(internString("Password"_lit), first);
    EXPECT_EQ(pool.count(), 0u);  // not autoreleased: the table owns them

    std::vector<BaseString*> seen(8);
    std::vector<std::thread> threads;
    for (auto& slot : seen) threads.emplace_back([&slot] { slot = internString("Protocol_Version"_lit); });
    for (auto& thread : threads) thread.join();
    for (BaseString* s : seen) EXPECT_EQ(s, seen[0]);
}
