#pragma once

#include <cstddef>
#include <cstring>

#include "kx/common/String.h"

namespace kx {
namespace common {

// The two hash values of one key under one seed; HashTable's two candidate buckets are these
// modulo the bucket count.
struct KeyHashes {
    unsigned int a;
    unsigned int b;
};

// Accumulates hash A and hash B of one key under one seed. The seed enters first (its four
// bytes, least significant first, each sign-extended from 8 bits), then the key bytes (each
// taken unsigned). Hash A starts at 5381 and takes h = h * 33 XOR v; hash B starts at 0 and
// takes h = h * 65599 + v; both modulo 2^32.
class KeyHasher {
public:
    explicit KeyHasher(unsigned int seed) {
        for (int shift = 0; shift < 32; shift += 8) {
            const signed char seedByte = static_cast<signed char>((seed >> shift) & 0xFF);
            Mix(static_cast<unsigned int>(static_cast<int>(seedByte)));
        }
    }

    // Adds `length` key bytes.
    void AddBytes(const unsigned char* bytes, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i) Mix(bytes[i]);
    }

    // Adds the four bytes of `value`, least significant first.
    void AddUInt(unsigned int value) {
        for (int shift = 0; shift < 32; shift += 8) Mix((value >> shift) & 0xFF);
    }

    // The hashes of everything added so far.
    KeyHashes Get() const { return hashes_; }

private:
    void Mix(unsigned int v) {
        hashes_.a = (hashes_.a * 33) ^ v;
        hashes_.b = hashes_.b * 65599 + v;
    }

    KeyHashes hashes_ = {5381, 0};
};

// Key policy of HashTable: which bytes of a key are hashed and when two keys are equal.
template <typename K>
struct StandardHashHelper;

// unsigned int keys: their four bytes, least significant first; equal when the values are.
template <>
struct StandardHashHelper<unsigned int> {
    static KeyHashes Hash(unsigned int key, unsigned int seed) {
        KeyHasher hasher(seed);
        hasher.AddUInt(key);
        return hasher.Get();
    }
    static bool Equals(unsigned int a, unsigned int b) { return a == b; }
};

// String keys: their UTF-8 form with its terminating zero byte; equal when String::Equals.
// A key holding a zero or a value above 0x10FFFF has a UTF-8 form that does not tell it apart
// from other keys (the form ends at the zero, such values are left out), so its code point
// count and the four bytes of each code point follow that form. Unequal keys thus never hash
// the same bytes: keys that did would share both candidate buckets under every seed, and three
// of them would make the table double without end. (The count keeps runs of zero bytes from
// making keys of different lengths collide in the low bits of both hashes.)
// Hashing writes the key's UTF-8 buffer, so a key must not be used on another thread meanwhile.
template <>
struct StandardHashHelper<String> {
    static KeyHashes Hash(const String& key, unsigned int seed) {
        KeyHasher hasher(seed);
        const char* utf8 = key.GetUtf8();
        hasher.AddBytes(reinterpret_cast<const unsigned char*>(utf8), std::strlen(utf8) + 1);
        if (!HasDistinctUtf8(key)) {
            hasher.AddUInt(key.GetLength());
            for (unsigned i = 0; i < key.GetLength(); ++i) hasher.AddUInt(key.GetCodePoint(i));
        }
        return hasher.Get();
    }
    static bool Equals(const String& a, const String& b) { return a.Equals(b); }

private:
    // True when the UTF-8 form up to its first zero byte holds every code point.
    static bool HasDistinctUtf8(const String& key) {
        for (unsigned i = 0; i < key.GetLength(); ++i) {
            const unsigned int cp = key.GetCodePoint(i);
            if (cp == 0 || cp > 0x10FFFF) return false;
        }
        return true;
    }
};

}  // namespace common
}  // namespace kx
