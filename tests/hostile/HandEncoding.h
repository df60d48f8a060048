#pragma once

#include <cstdint>
#include <string>

// Wire bytes written by hand, for answers that no well-behaved encoder produces: values outside
// an enumeration, fields this library does not know. Frames and length prefixes (also ones that
// lie about the length) come from kx/testing/Frame.h.
namespace kx {
namespace testing {

inline std::string Varint(std::uint64_t value) {
    std::string bytes;
    while (value >= 0x80) {
        bytes.push_back(static_cast<char>((value & 0x7F) | 0x80));
        value >>= 7;
    }
    bytes.push_back(static_cast<char>(value));
    return bytes;
}

// A varint field: its key (field number, wire type 0) and its value.
inline std::string VarintField(unsigned number, std::uint64_t value) {
    return Varint(number << 3) + Varint(value);
}

// A length-delimited field: its key (wire type 2), the length and the bytes.
inline std::string BytesField(unsigned number, const std::string& bytes) {
    return Varint((number << 3) | 2) + Varint(bytes.size()) + bytes;
}

}  // namespace testing
}  // namespace kx
