#pragma once

#include "kx/common/HashTable.h"
#include "kx/common/String.h"

namespace kx {
namespace common {

// The texts of one language: a table from key to value, filled from the language's file.
// Keys are compared code point by code point, without case folding or normalization.
// Not thread-safe; the library uses it on the game's thread only.
class Localization {
public:
    // Size limit of a localization file; a larger file is treated as unreadable.
    static constexpr unsigned kMaxFileSize = 16u * 1024u * 1024u;

    Localization() {}
    Localization(const Localization&) = delete;
    Localization& operator=(const Localization&) = delete;

    // Reads the file at `path` (zero-terminated, narrow text) with one read call and adds its
    // entries (see AddEntries); a UTF-8 byte-order mark at its start is skipped. A file that
    // is not valid UTF-8 adds nothing. Returns false, adding nothing, when the file cannot be
    // opened or read.
    bool Load(const char* path);

    // Adds the entries of `text`: lines end at CR LF (a lone CR or LF is an ordinary
    // character); a line with exactly one tab is an entry of key (before the tab) and value
    // (after it), both trimmed; other lines are ignored. A later entry replaces the value of an
    // equal key.
    void AddEntries(const String& text);

    // True when the table has no entries.
    bool IsUnusable() const { return entries_.GetCount() == 0; }

    // The value stored for `key`, or an empty text when there is none. The result stays valid
    // until the next Lookup or the end of this object.
    const String& Lookup(const String& key);

private:
    HashTable<String, String> entries_;
    String found_;
    const String emptyText_;
};

}  // namespace common
}  // namespace kx
