#include "kx/common/HashTable.h"

#include <gtest/gtest.h>

#include <random>
#include <unordered_map>

#include "kx/common/String.h"

namespace {

using kx::common::HashTable;
using kx::common::KeyHashes;
using kx::common::StandardHashHelper;
using kx::common::String;

// Every used bucket must be one of its key's two candidates under the current seed.
template <typename K, typename V>
void ExpectItemsInCandidateBuckets(const HashTable<K, V>& table) {
    const unsigned n = table.GetBucketCount();
    unsigned used = 0;
    for (unsigned i = 0; i < n; ++i) {
        const auto& bucket = table.GetBucket(i);
        if (!bucket.IsUsed()) continue;
        ++used;
        const KeyHashes hashes = StandardHashHelper<K>::Hash(bucket.GetKey(), table.GetSeed());
        EXPECT_TRUE(i == hashes.a % n || i == hashes.b % n) << "bucket " << i;
    }
    EXPECT_EQ(used, table.GetCount());
}

TEST(HashTableTest, HashesOfTheWorkedKeys) {
    const KeyHashes text = StandardHashHelper<String>::Hash(String("abc"), 0);
    EXPECT_EQ(text.a, 0x7BC3BDA5u);
    EXPECT_EQ(text.b, 0xD1BA201Eu);
    const KeyHashes one = StandardHashHelper<unsigned int>::Hash(1, 0);
    EXPECT_EQ(one.a, 0x7BB2BDA4u);
    EXPECT_EQ(one.b, 0x2E86D0BFu);
    // Seed bytes enter sign-extended, least significant first.
    const KeyHashes seeded = StandardHashHelper<unsigned int>::Hash(1, 0x80FF);
    EXPECT_EQ(seeded.a, 0x8DABA1FBu);
    EXPECT_EQ(seeded.b, 0x75FDDE80u);
}

TEST(HashTableTest, SecondKeyForcesARehash) {
    HashTable<unsigned int, int> table;
    EXPECT_EQ(table.GetBucketCount(), 1u);
    EXPECT_EQ(table.GetSeed(), 0u);
    table.Set(10, 100);
    EXPECT_EQ(table.GetBucketCount(), 1u);
    EXPECT_EQ(table.GetCount(), 1u);

    table.Set(20, 200);
    EXPECT_GE(table.GetBucketCount(), 2u);
    EXPECT_GE(table.GetSeed(), 1u);
    int value = 0;
    EXPECT_TRUE(table.Get(10, value));
    EXPECT_EQ(value, 100);
    EXPECT_TRUE(table.Get(20, value));
    EXPECT_EQ(value, 200);
    ExpectItemsInCandidateBuckets(table);
}

TEST(HashTableTest, SetReplacesGetMissesRemoveFrees) {
    HashTable<unsigned int, int*> table;
    int a = 1;
    int b = 2;
    auto& bucket = table.Set(7, &a);
    EXPECT_TRUE(bucket.IsUsed());
    EXPECT_EQ(bucket.GetKey(), 7u);
    EXPECT_EQ(table.Set(7, &b).GetValue(), &b);
    EXPECT_EQ(table.GetCount(), 1u);

    int* out = &a;
    EXPECT_FALSE(table.Get(8, out));
    EXPECT_EQ(out, &a);
    EXPECT_TRUE(table.Get(7, out));
    EXPECT_EQ(out, &b);

    for (unsigned int key = 100; key < 110; ++key) table.Set(key, &a);
    const unsigned buckets = table.GetBucketCount();
    const unsigned seed = table.GetSeed();
    table.Remove(8);
    EXPECT_EQ(table.GetCount(), 11u);
    table.Remove(7);
    EXPECT_EQ(table.GetCount(), 10u);
    EXPECT_FALSE(table.Get(7, out));
    for (unsigned int key = 100; key < 110; ++key) table.Remove(key);
    EXPECT_EQ(table.GetCount(), 0u);
    EXPECT_EQ(table.GetBucketCount(), buckets);
    EXPECT_EQ(table.GetSeed(), seed);
    for (unsigned i = 0; i < buckets; ++i) EXPECT_EQ(table.GetBucket(i).GetValue(), nullptr);
}

TEST(HashTableTest, MatchesAModelThroughThousandsOfInsertsAndRemovals) {
    HashTable<unsigned int, unsigned int> table;
    std::unordered_map<unsigned int, unsigned int> model;
    std::mt19937 random(12345);
    // Dense small keys, sparse large keys and keys differing only in high bytes.
    std::uniform_int_distribution<unsigned int> pick(0, 2999);
    const auto keyOf = [](unsigned int n) {
        return n < 1000 ? n : n < 2000 ? n * 2654435761u : (n - 2000) << 20;
    };
    for (int step = 0; step < 30000; ++step) {
        const unsigned int key = keyOf(pick(random));
        if (random() % 3 == 0) {
            table.Remove(key);
            model.erase(key);
        } else {
            const unsigned int value = static_cast<unsigned int>(random());
            EXPECT_EQ(table.Set(key, value).GetKey(), key);
            model[key] = value;
        }
        ASSERT_EQ(table.GetCount(), model.size());
    }
    ExpectItemsInCandidateBuckets(table);
    for (unsigned int n = 0; n < 3000; ++n) {
        const unsigned int key = keyOf(n);
        unsigned int value = 0;
        const auto it = model.find(key);
        ASSERT_EQ(table.Get(key, value), it != model.end()) << key;
        if (it != model.end()) {
            EXPECT_EQ(value, it->second) << key;
        }
    }

    // The iterator visits every item exactly once.
    HashTable<unsigned int, unsigned int>::Iterator iterator(table);
    std::unordered_map<unsigned int, unsigned int> visited;
    while (iterator.Next()) {
        const auto& item = iterator.Current();
        EXPECT_TRUE(visited.emplace(item.GetKey(), item.GetValue()).second);
    }
    EXPECT_EQ(visited, model);
    EXPECT_FALSE(iterator.Next());
}

TEST(HashTableTest, StringKeysAndValues) {
    HashTable<String, String> table;
    for (unsigned i = 0; i < 500; ++i) {
        table.Set(String("key ").AppendUInt(i), String("value ").AppendUInt(i));
    }
    table.Set(String("key 7"), String("seven"));
    for (unsigned i = 0; i < 500; i += 2) table.Remove(String("key ").AppendUInt(i));
    EXPECT_EQ(table.GetCount(), 250u);
    ExpectItemsInCandidateBuckets(table);

    String value;
    EXPECT_TRUE(table.Get(String("key 7"), value));
    EXPECT_STREQ(value.GetUtf8(), "seven");
    EXPECT_TRUE(table.Get(String("key 499"), value));
    EXPECT_STREQ(value.GetUtf8(), "value 499");
    EXPECT_FALSE(table.Get(String("key 4"), value));
    EXPECT_FALSE(table.Get(String("key"), value));

    // A copy is independent of its source.
    HashTable<String, String> copy;
    copy = table;
    EXPECT_EQ(copy.GetBucketCount(), table.GetBucketCount());
    EXPECT_EQ(copy.GetSeed(), table.GetSeed());
    copy.Remove(String("key 7"));
    EXPECT_TRUE(table.Get(String("key 7"), value));
    EXPECT_EQ(copy.GetCount(), 249u);
    HashTable<String, String> second(copy);
    EXPECT_FALSE(second.Get(String("key 7"), value));
    EXPECT_TRUE(second.Get(String("key 9"), value));
}

// Keys whose UTF-8 forms are alike (they end at an embedded zero, or leave out values above
// 0x10FFFF) used to hash alike under every seed: the third such key made the table double
// without end.
TEST(HashTableTest, KeysWithAlikeUtf8FormsAreStillPlaced) {
    const char zeroA[] = {'\0', 'a'};
    const char zeroB[] = {'\0', 'b'};
    const char zeroZero[] = {'\0', '\0'};
    String keys[7];
    ASSERT_TRUE(keys[1].SetUtf8(zeroA, 2));
    ASSERT_TRUE(keys[2].SetUtf8(zeroB, 2));
    ASSERT_TRUE(keys[3].SetUtf8(zeroZero, 2));
    keys[4].AppendChar('\x80');
    keys[5].AppendChar('\xFF');
    keys[6].AppendChar('\x80').AppendChar('\x80');
    HashTable<String, unsigned int> table;
    for (unsigned i = 0; i < 7; ++i) table.Set(keys[i], i);
    EXPECT_EQ(table.GetCount(), 7u);
    EXPECT_LE(table.GetBucketCount(), 1024u);
    ExpectItemsInCandidateBuckets(table);
    for (unsigned i = 0; i < 7; ++i) {
        unsigned int value = 99;
        EXPECT_TRUE(table.Get(keys[i], value));
        EXPECT_EQ(value, i);
    }
    // Runs of zeros of different lengths: the table grows with the keys' length, not without
    // end (nor to hundreds of buckets per code point).
    HashTable<String, unsigned int> zeros;
    const char zeroRun[64] = {};
    for (const int length : {1, 17, 33}) {
        String key;
        ASSERT_TRUE(key.SetUtf8(zeroRun, length));
        zeros.Set(key, static_cast<unsigned int>(length));
    }
    EXPECT_EQ(zeros.GetCount(), 3u);
    EXPECT_LE(zeros.GetBucketCount(), 256u);
    // A trailing zero code point tells a key apart from the same text without it.
    const char plain[] = "abc";
    String withZero;
    ASSERT_TRUE(withZero.SetUtf8(plain, 4));
    EXPECT_NE(StandardHashHelper<String>::Hash(withZero, 0).a, 0x7BC3BDA5u);
}

TEST(HashTableTest, IteratorOverAnEmptyTableFinishesAtOnce) {
    HashTable<unsigned int, int> table;
    HashTable<unsigned int, int>::Iterator iterator(table);
    EXPECT_FALSE(iterator.Next());
    EXPECT_FALSE(iterator.Next());
}

TEST(HashTableDeathTest, CurrentRequiresAnItem) {
    HashTable<unsigned int, int> table;
    table.Set(1, 1);
    HashTable<unsigned int, int>::Iterator iterator(table);
    EXPECT_DEATH(iterator.Current(), "Contract violated: .*kInProgress");
    ASSERT_TRUE(iterator.Next());
    ASSERT_FALSE(iterator.Next());
    EXPECT_DEATH(iterator.Current(), "Contract violated: .*kInProgress");
}

}  // namespace
