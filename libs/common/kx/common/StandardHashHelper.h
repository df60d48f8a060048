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

// Hashes the seed (its four bytes, least significant first, each sign-extended from 8 bits)
// followed by `length` key bytes (each taken unsigned). Hash A starts at 5381 and takes
// h = h * 33 XOR v; hash B starts at 0 and takes h = h * 65599 + v; both modulo 2^32.
inline KeyHashes HashKeyBytes(unsigned int seed, const unsigned char* bytes, std::size_t length) {
    KeyHashes hashes = {5381, 0};
    const auto mix = [&hashes](unsigned int v) {
        hashes.a = (hashes.a * 33) ^ v;
        hashes.b = hashes.b * 65599 + v;
    };
    for (int shift = 0; shift < 32; shift += 8) {
        const signed char seedByte = static_cast<signed char>((seed >> shift) & 0xFF);
        mix(static_cast<unsigned int>(static_cast<int>(seedByte)));
    }
    for (std::size_t i = 0; i < length; ++i) mix(bytes[i]);
    return hashes;
}

// Key policy of HashTable: which bytes of a key are hashed and when two keys are equal.
template <typename K>
struct StandardHashHelper;

// unsigned int keys: their four bytes, least significant first; equal when the values are.
template <>
struct StandardHashHelper<unsigned int> {
    static KeyHashes Hash(unsigned int key, unsigned int seed) {
        const unsigned char bytes[4] = {
            static_cast<unsigned char>(key), static_cast<unsigned char>(key >> 8),
            static_cast<unsigned char>(key >> 16), static_cast<unsigned char>(key >> 24)};
        return HashKeyBytes(seed, bytes, sizeof(bytes));
    }
    static bool Equals(unsigned int a, unsigned int b) { return a == b; }
};

// String keys: their UTF-8 form with its terminating zero byte; equal when String::Equals.
// Hashing writes the key's UTF-8 buffer, so a key must not be used on another thread meanwhile.
template <>
struct StandardHashHelper<String> {
    static KeyHashes Hash(const String& key, unsigned int seed) {
        const char* utf8 = key.GetUtf8();
        return HashKeyBytes(seed, reinterpret_cast<const unsigned char*>(utf8),
                            std::strlen(utf8) + 1);
    }
    static bool Equals(const String& a, const String& b) { return a.Equals(b); }
};

}  // namespace common
}  // namespace kx
