// Plays a fuzz input as a sequence of HashTable operations (set, get, remove, copy, iterate)
// with unsigned or String keys, and compares the table with std::unordered_map after each one.
// It also checks the table's own invariants: the bucket count is a power of two and every item
// sits in one of its key's two candidate buckets, so that a lookup never needs a third.

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "FuzzCheck.h"
#include "InputReader.h"
#include "kx/common/HashTable.h"
#include "kx/common/StandardHashHelper.h"
#include "kx/common/String.h"

namespace {

using kx::common::HashTable;
using kx::common::String;
using kx::fuzz::InputReader;

// unsigned keys: mostly from a small range, so that keys repeat, sometimes any 32-bit value.
struct UnsignedKeys {
    using Key = unsigned int;
    using Value = unsigned int;
    using ModelKey = unsigned int;
    struct ModelHash {
        std::size_t operator()(unsigned int key) const { return key; }
    };

    static Key MakeKey(InputReader& input) {
        const std::uint8_t width = input.Byte();
        return width & 1 ? input.Uint32() : input.Byte();
    }
    static ModelKey ModelOf(const Key& key) { return key; }
    static Value MakeValue(std::uint32_t value) { return value; }
    static bool Same(const Value& value, std::uint32_t expected) { return value == expected; }
};

// String keys of a few code points: decoded from UTF-8 when the bytes allow (zeros included),
// else appended character by character (bytes 0x80 and up then give values above 0x10FFFF).
struct StringKeys {
    using Key = String;
    using Value = String;
    using ModelKey = std::vector<std::uint32_t>;
    struct ModelHash {
        std::size_t operator()(const ModelKey& key) const {
            std::size_t hash = key.size();
            for (const std::uint32_t cp : key) hash = hash * 1000003u + cp;
            return hash;
        }
    };

    static Key MakeKey(InputReader& input) {
        std::size_t length;
        const std::uint8_t* bytes = input.Piece(input.Byte() % 6, length);
        String key;
        if (!key.SetUtf8(reinterpret_cast<const char*>(bytes), static_cast<int>(length))) {
            for (std::size_t i = 0; i < length; ++i) key.AppendChar(static_cast<char>(bytes[i]));
        }
        return key;
    }
    static ModelKey ModelOf(const Key& key) {
        ModelKey codePoints;
        for (unsigned i = 0; i < key.GetLength(); ++i) codePoints.push_back(key.GetCodePoint(i));
        return codePoints;
    }
    static Value MakeValue(std::uint32_t value) {
        String text;
        text.AppendUInt(value);
        return text;
    }
    static bool Same(const Value& value, std::uint32_t expected) {
        return value.Equals(MakeValue(expected));
    }
};

template <typename Keys>
class Run {
public:
    using Table = HashTable<typename Keys::Key, typename Keys::Value>;
    using Model =
        std::unordered_map<typename Keys::ModelKey, std::uint32_t, typename Keys::ModelHash>;

    void Play(InputReader& input) {
        while (input.HasMore()) {
            const std::uint8_t op = input.Byte();
            switch (op % 8) {
                case 0:
                case 1:
                case 2:
                    Set(Keys::MakeKey(input), input.Uint32());
                    break;
                case 3:
                case 4:
                    Get(Keys::MakeKey(input));
                    break;
                case 5: {
                    const typename Keys::Key key = Keys::MakeKey(input);
                    table_.Remove(key);
                    model_.erase(Keys::ModelOf(key));
                    Get(key);
                    break;
                }
                case 6: {
                    // Copy into a fresh table, then assign back over the original.
                    const Table copy(table_);
                    CheckWhole(copy);
                    KX_FUZZ_REQUIRE(copy.GetSeed() == table_.GetSeed());
                    table_ = copy;
                    break;
                }
                default:
                    CheckWhole(table_);
                    break;
            }
            KX_FUZZ_REQUIRE(table_.GetCount() == model_.size());
        }
        CheckWhole(table_);
    }

private:
    void Set(const typename Keys::Key& key, std::uint32_t value) {
        const typename Table::KeyItem& bucket = table_.Set(key, Keys::MakeValue(value));
        KX_FUZZ_REQUIRE(bucket.IsUsed());
        KX_FUZZ_REQUIRE(Keys::ModelOf(bucket.GetKey()) == Keys::ModelOf(key));
        KX_FUZZ_REQUIRE(Keys::Same(bucket.GetValue(), value));
        model_[Keys::ModelOf(key)] = value;
        Get(key);
    }

    void Get(const typename Keys::Key& key) {
        typename Keys::Value out = Keys::MakeValue(0xFFFFFFFFu);
        const bool found = table_.Get(key, out);
        const auto expected = model_.find(Keys::ModelOf(key));
        KX_FUZZ_REQUIRE(found == (expected != model_.end()));
        KX_FUZZ_REQUIRE(Keys::Same(out, found ? expected->second : 0xFFFFFFFFu));
    }

    // Iterates `table` and compares everything it holds with the model.
    void CheckWhole(const Table& table) const {
        const unsigned buckets = table.GetBucketCount();
        KX_FUZZ_REQUIRE(buckets != 0 && (buckets & (buckets - 1)) == 0);
        KX_FUZZ_REQUIRE(table.GetCount() == model_.size());
        std::unordered_set<typename Keys::ModelKey, typename Keys::ModelHash> seen;
        typename Table::Iterator iterator(table);
        while (iterator.Next()) {
            const typename Table::KeyItem& item = iterator.Current();
            const auto expected = model_.find(Keys::ModelOf(item.GetKey()));
            KX_FUZZ_REQUIRE(expected != model_.end());
            KX_FUZZ_REQUIRE(Keys::Same(item.GetValue(), expected->second));
            KX_FUZZ_REQUIRE(seen.insert(expected->first).second);
            const kx::common::KeyHashes hashes =
                kx::common::StandardHashHelper<typename Keys::Key>::Hash(item.GetKey(),
                                                                         table.GetSeed());
            KX_FUZZ_REQUIRE(&table.GetBucket(hashes.a % buckets) == &item ||
                            &table.GetBucket(hashes.b % buckets) == &item);
        }
        KX_FUZZ_REQUIRE(!iterator.Next());
        KX_FUZZ_REQUIRE(seen.size() == model_.size());
    }

    Table table_;
    Model model_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    InputReader input(data, size);
    if (input.Byte() & 1) {
        Run<StringKeys>().Play(input);
    } else {
        Run<UnsignedKeys>().Play(input);
    }
    return 0;
}
