#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>

#include "kx/common/Contract.h"
#include "kx/common/HybridArray.h"
#include "kx/common/StandardHashHelper.h"

namespace kx {
namespace common {

// Map from K to V by cuckoo hashing: every bucket holds at most one item, and a key can only
// live in one of its two candidate buckets (hash A and hash B of the key and the seed, modulo
// the bucket count), so a lookup examines at most two buckets. An insertion that cannot place
// its key within (item count + 1) evictions rehashes: the seed grows by one and the bucket count
// doubles. The table starts with one bucket and seed 0, and never shrinks.
// Not thread-safe: a caller sharing one table between threads holds its own lock.
template <typename K, typename V, typename Helper = StandardHashHelper<K>>
class HashTable {
public:
    // One bucket: free, or used by one key and its value.
    class KeyItem {
    public:
        KeyItem() {}
        // Copies the flag and the value, and the key only when `other` is used.
        KeyItem(const KeyItem& other) : used_(other.used_), value_(other.value_) {
            if (other.used_) key_ = other.key_;
        }
        KeyItem& operator=(const KeyItem& other) {
            used_ = other.used_;
            value_ = other.value_;
            if (other.used_) key_ = other.key_;
            return *this;
        }

        // True when the bucket holds an item.
        bool IsUsed() const { return used_; }
        // The item's key; meaningful only while IsUsed().
        const K& GetKey() const { return key_; }
        // The item's value; the value type's empty state in a free bucket.
        const V& GetValue() const { return value_; }
        V& GetValue() { return value_; }

    private:
        friend class HashTable;

        void Swap(KeyItem& other) {
            std::swap(used_, other.used_);
            std::swap(key_, other.key_);
            std::swap(value_, other.value_);
        }

        bool used_ = false;
        K key_{};
        V value_{};
    };

    // Walks the used buckets in bucket order, which depends on the hashes and the seed. The
    // table must stay alive and unchanged while the iterator is in use.
    class Iterator {
    public:
        explicit Iterator(const HashTable& table) : table_(table) {}

        // Moves to the next used bucket; false once there is none (and on every later call).
        bool Next() {
            if (state_ == State::kFinished) return false;
            if (state_ == State::kInProgress) ++index_;
            state_ = State::kInProgress;
            for (; index_ < table_.GetBucketCount(); ++index_) {
                if (table_.GetBucket(index_).IsUsed()) return true;
            }
            state_ = State::kFinished;
            return false;
        }

        // The bucket reached by the last Next(), which must have returned true.
        const KeyItem& Current() const {
            KX_CHECK(state_ == State::kInProgress);
            const KeyItem& bucket = table_.GetBucket(index_);
            KX_CHECK(bucket.IsUsed());
            return bucket;
        }

    private:
        enum class State { kNotStarted, kInProgress, kFinished };

        const HashTable& table_;
        unsigned index_ = 0;
        State state_ = State::kNotStarted;
    };

    // One free bucket, no items, seed 0.
    HashTable() {
        buckets_.Reserve(1);
        buckets_.Resize(1);
    }

    // Copies all buckets, the item count and the seed.
    HashTable(const HashTable& other) = default;
    HashTable& operator=(const HashTable& other) = default;

    // Stores `value` under `key`: replaces the value when the key is present, inserts the pair
    // otherwise. Returns the bucket that holds the key; it stays valid until the next change.
    KeyItem& Set(const K& key, const V& value) {
        if (KeyItem* bucket = Find(key)) {
            bucket->value_ = value;
            return *bucket;
        }
        KeyItem carried;
        carried.used_ = true;
        carried.key_ = key;
        carried.value_ = value;
        Insert(carried);
        return *Find(key);
    }

    // True and the value in `out` when `key` is present; otherwise false and `out` untouched.
    bool Get(const K& key, V& out) const {
        const KeyItem* bucket = Find(key);
        if (bucket == nullptr) return false;
        out = bucket->value_;
        return true;
    }

    // Frees the bucket of `key` and resets its value to the empty state; absent keys are ignored.
    void Remove(const K& key) {
        if (KeyItem* bucket = Find(key)) {
            KeyItem freed;
            bucket->Swap(freed);
            --count_;
        }
    }

    // Number of items.
    // Removes every item; the table is then as newly made.
    void Clear() { *this = HashTable(); }

    unsigned GetCount() const { return count_; }
    // Number of buckets: a power of two, at least 1.
    unsigned GetBucketCount() const { return buckets_.GetCount(); }
    // Bucket at `index`, which must be below GetBucketCount().
    const KeyItem& GetBucket(unsigned index) const { return buckets_.At(index); }
    // Value mixed into both hash functions; 0 at first, one more after each rehash.
    unsigned GetSeed() const { return seed_; }

private:
    KeyHashes HashOf(const K& key) const { return Helper::Hash(key, seed_); }

    KeyItem* Find(const K& key) {
        return const_cast<KeyItem*>(static_cast<const HashTable*>(this)->Find(key));
    }

    const KeyItem* Find(const K& key) const {
        const KeyHashes hashes = HashOf(key);
        const unsigned n = buckets_.GetCount();
        for (const unsigned index : {hashes.a % n, hashes.b % n}) {
            const KeyItem& bucket = buckets_.At(index);
            if (bucket.used_ && Helper::Equals(bucket.key_, key)) return &bucket;
        }
        return nullptr;
    }

    // Places the used item `carried`, whose key is not in the table, evicting items to their
    // other candidate bucket and rehashing when that does not settle.
    void Insert(KeyItem& carried) {
        for (;;) {
            const unsigned n = buckets_.GetCount();
            const unsigned kickLimit = count_ + 1;
            unsigned position = HashOf(carried.key_).a % n;
            for (unsigned kick = 0; kick < kickLimit; ++kick) {
                KeyItem& bucket = buckets_.At(position);
                const bool free = !bucket.used_;
                bucket.Swap(carried);
                if (free) {
                    ++count_;
                    return;
                }
                const KeyHashes hashes = HashOf(carried.key_);
                position = position == hashes.a % n ? hashes.b % n : hashes.a % n;
            }
            Rehash();
        }
    }

    // New seed, twice the buckets; items no longer in one of their candidates are reinserted.
    void Rehash() {
        ++seed_;
        const unsigned oldCount = buckets_.GetCount();
        KX_CHECK(oldCount <= UINT32_MAX / 2);
        buckets_.Reserve(oldCount * 2);
        buckets_.Resize(oldCount * 2);
        for (unsigned i = 0; i < oldCount; ++i) {
            if (!buckets_.At(i).used_) continue;
            // Fetched anew each time: a nested rehash may have moved the buckets.
            const unsigned n = buckets_.GetCount();
            const KeyHashes hashes = HashOf(buckets_.At(i).key_);
            if (i == hashes.a % n || i == hashes.b % n) continue;
            KeyItem carried;
            buckets_.At(i).Swap(carried);
            --count_;
            Insert(carried);
        }
    }

    HybridArray<KeyItem, 0> buckets_;
    unsigned count_ = 0;
    unsigned seed_ = 0;
};

}  // namespace common
}  // namespace kx
