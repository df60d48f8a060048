#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// A reference model of the foundation String's coders, written from the documented rules and
// not from the String code, so that the fuzz targets can compare the two. It deliberately
// follows the rules' unusual corners: 3-byte sequences for U+D800 to U+DFFF decode, 4-byte
// sequences must lie in U+10000 to U+10FFFD, any surrogate starts a UTF-16 pair, 0xFFFF and
// lone surrogates encode as two UTF-16 units, and values above 0x10FFFF have no UTF-8 form.
namespace kx {
namespace fuzz {

using CodePoints = std::vector<std::uint32_t>;

// The code points of `bytes`, or nothing when they are not acceptable UTF-8.
std::optional<CodePoints> ModelDecodeUtf8(const std::uint8_t* bytes, std::size_t length);
// The code points of `units`, or nothing when they are not acceptable UTF-16.
std::optional<CodePoints> ModelDecodeUtf16(const std::uint16_t* units, std::size_t length);
// The UTF-8 bytes of `codePoints`, without a terminator.
std::vector<std::uint8_t> ModelEncodeUtf8(const CodePoints& codePoints);
// The UTF-16 units of `codePoints`, without a terminator.
std::vector<std::uint16_t> ModelEncodeUtf16(const CodePoints& codePoints);
// True for the code points the foundation treats as whitespace (U+0000 included).
bool ModelIsWhitespace(std::uint32_t codePoint);

}  // namespace fuzz
}  // namespace kx
