#pragma once

#include "kx/common/HashTable.h"
#include "kx/common/Localization.h"
#include "kx/common/String.h"

namespace kx {
namespace common {

// The localized texts of every language asked for so far: each language's file is read at
// most once, on the first request for that language code, and kept (also when it was missing
// or gave no entries) until the cache is destroyed.
// Not thread-safe; the library uses it on the game's thread only.
class LocalizationCache {
public:
    LocalizationCache() {}
    LocalizationCache(const LocalizationCache&) = delete;
    LocalizationCache& operator=(const LocalizationCache&) = delete;
    ~LocalizationCache();

    // The text of `key` (zero-terminated UTF-16; null is the empty key) in `language`
    // (zero-terminated language code as the caller gives it: 1 to 16 ASCII letters, digits,
    // '-' and '_'). On the first request for a language code, reads
    // "<launcher directory>data/loc/<code>_loc.txt". Never null: an empty text when the code is
    // null or not of that form (no file is read then), or when the key or the language's
    // entries are missing. The result stays valid until the next GetLocText call or the
    // destruction of the cache.
    const unsigned short* GetLocText(const unsigned short* key, const char* language);

private:
    // Owned; created on the first request for their language code.
    HashTable<String, Localization*> localizations_;
};

}  // namespace common
}  // namespace kx
