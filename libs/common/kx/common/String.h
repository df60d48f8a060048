#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

#include "kx/common/HybridArray.h"
#include "kx/common/IArray.h"

namespace kx {
namespace common {

// Text as a sequence of Unicode code points (any unsigned 32-bit values a setter stored),
// converted to and from UTF-8 and UTF-16 on demand. The length is the number of code points.
// Not thread-safe: even GetUtf8 and GetUtf16 write the conversion buffers, so one String must
// not be used on two threads at once.
class String {
public:
    // The empty string.
    String() {}
    // Decodes `utf8` (see SetUtf8); on a decoding error the string is empty.
    String(const char* utf8, int length = -1);
    // Decodes `utf16` (see SetUtf16); on a decoding error the string is empty.
    String(const unsigned short* utf16, int length = -1);
    // Decodes the bytes of `utf8` (see SetUtf8); on a decoding error the string is empty.
    explicit String(const std::string& utf8);

    // Copies the code points only; the conversion buffers are not shared.
    String(const String& other) : codePoints_(other.codePoints_) {}
    String& operator=(const String& other);
    String(String&& other) noexcept = default;
    String& operator=(String&& other) noexcept = default;

    // Replaces the content by the UTF-8 text `utf8` of `length` bytes; length -1 means the text
    // ends at its first zero byte. Null or length 0 gives the empty string. Returns false and
    // leaves the string empty when the bytes are not valid UTF-8 or `length` is below -1.
    bool SetUtf8(const char* utf8, int length);
    // Replaces the content by the UTF-16 text `utf16` of `length` units; length -1 means the
    // text ends at its first zero unit. Null gives the empty string. Returns false and leaves the
    // string empty when the units are not valid UTF-16 or `length` is below -1.
    bool SetUtf16(const unsigned short* utf16, int length);

    // Zero-terminated UTF-8 form; code points above 0x10FFFF are left out. The text stays valid
    // until the next GetUtf8 call or change of this string.
    const char* GetUtf8() const;
    // Zero-terminated UTF-16 form; valid until the next GetUtf16 call or change of this string.
    const unsigned short* GetUtf16() const;

    // Number of code points.
    unsigned GetLength() const { return codePoints_.GetCount(); }
    // Code point at `index`, which must be below GetLength().
    unsigned GetCodePoint(unsigned index) const { return codePoints_.At(index); }

    // Appends the code points of `other` (which may be this string); returns this string.
    String& Append(const String& other);
    // Appends `c` widened as a signed 8-bit value (bytes 0x80 to 0xFF become 0xFFFFFF80 to
    // 0xFFFFFFFF, which have no UTF-8 form); a zero byte appends nothing. Returns this string.
    String& AppendChar(char c);
    // Appends the decimal form of `value`; returns this string.
    String& AppendUInt(unsigned int value);
    String& AppendInt(int value);

    // The code points of `a` followed by those of `b`.
    static String Concat(const String& a, const String& b);

    // True when both strings hold the same code points in the same order.
    bool Equals(const String& other) const;
    // True when the last code points equal those of `suffix`; always true for an empty suffix.
    bool EndsWith(const String& suffix) const;
    // Index of the first occurrence of `pattern` at or after `start`, or -1. Also -1 for an
    // empty pattern, a pattern longer than this string, or `start` not below the length.
    int Find(const String& pattern, unsigned start) const;
    // Code points from `start` up to but not including `end` (clipped to the length), leaving
    // out code points of value 0. Empty when `start` is above the length or not below `end`.
    String Substring(unsigned start, unsigned end) const;
    String Substring(unsigned start) const { return Substring(start, GetLength()); }
    // This string without leading and trailing whitespace (IsWhitespace).
    String Trim() const;
    // True when the string is empty or holds only whitespace.
    bool IsBlank() const;
    // Cuts the string at every `separator` (widened as a signed 8-bit value) and appends the
    // pieces to `pieces`, which should be empty; consecutive separators give empty pieces, code
    // points of value 0 are left out. Returns false and appends nothing when no separator occurs.
    // Stops once `maxPieces` pieces are appended, leaving the rest uncut: a caller that accepts
    // n pieces passes n + 1 and refuses more than n without paying for every piece.
    bool Split(char separator, IArray<String>& pieces, unsigned maxPieces = UINT_MAX) const;
    // The trimmed text as a decimal number, wrapping modulo 2^64; 0 when it holds anything but
    // the digits 0 to 9 or is empty.
    std::uint64_t ToUInt64() const;
    // ToUInt64(), or 0 when that does not fit 32 bits.
    std::uint32_t ToUInt32() const;

    // Overwrites every code point and every cached encoding with zeros, over the whole storage
    // they ever used, and leaves the string empty: for secrets that must not linger in memory
    // (and in crash dumps) after use.
    void Wipe();

private:
    // Decodes `length` bytes; see SetUtf8.
    bool DecodeUtf8(const unsigned char* bytes, std::size_t length);
    // Appends the code points [begin, end) of this string to `out`, leaving out zeros.
    void CopyNonZero(unsigned begin, unsigned end, String& out) const;

    HybridArray<unsigned int, 0> codePoints_;
    mutable HybridArray<char, 0> utf8_;
    mutable HybridArray<unsigned short, 0> utf16_;
};

// True exactly for U+0000, U+0009 to U+000D, U+0020, U+00A0, U+180E, U+2000 to U+200A, U+2028,
// U+2029, U+202F, U+205F and U+3000.
bool IsWhitespace(unsigned int codePoint);

// True when some element of `strings` Equals `value`.
bool Contains(const IArray<String>& strings, const String& value);
// Index of the first element of `strings` that Equals `value`, or -1.
int IndexOf(const IArray<String>& strings, const String& value);

}  // namespace common
}  // namespace kx
