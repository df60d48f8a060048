#include "kx/common/String.h"

#include <cstdio>
#include <cstring>

namespace kx {
namespace common {

namespace {

// A byte widened as a signed 8-bit value, the way characters become code points.
unsigned int WidenChar(char c) {
    return static_cast<unsigned int>(static_cast<int>(static_cast<signed char>(c)));
}

// Number of units before the first zero unit.
std::size_t ZeroTerminatedLength(const unsigned short* units) {
    std::size_t length = 0;
    while (units[length] != 0) ++length;
    return length;
}

// Appends the characters of the zero-terminated `text` one by one.
void AppendText(String& string, const char* text) {
    for (const char* p = text; *p != '\0'; ++p) string.AppendChar(*p);
}

// Appends the code points of the UTF-8 bytes to `out`; false on the first malformed sequence.
// Continuation bytes are only checked for their top bit. 3-byte sequences for U+D800 to
// U+DFFF are accepted; 4-byte sequences must lie in U+10000 to U+10FFFD.
bool DecodeUtf8Bytes(const unsigned char* bytes, std::size_t length, IArray<unsigned int>& out) {
    unsigned expected = 0;  // length of the sequence being read; 0 at the start of a character
    unsigned seen = 0;
    unsigned int value = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned int byte = bytes[i];
        if (expected == 0) {
            if (byte < 0x80) {
                out.Add(byte);
                continue;
            }
            if (byte == 0xC0 || byte == 0xC1 || byte >= 0xF5) return false;
            if ((byte & 0xE0) == 0xC0) {
                expected = 2;
                value = (byte & 0x1F) << 6;
            } else if ((byte & 0xF0) == 0xE0) {
                expected = 3;
                value = (byte & 0x0F) << 12;
            } else if ((byte & 0xF8) == 0xF0) {
                expected = 4;
                value = (byte & 0x07) << 18;
            } else {
                return false;  // a continuation byte where a character should start
            }
            seen = 1;
            continue;
        }
        if ((byte & 0x80) == 0) return false;
        ++seen;
        value |= (byte & 0x3F) << (6 * (expected - seen));
        if (seen < expected) continue;
        if (expected == 3 && value < 0x800) return false;
        if (expected == 4 && (value < 0x10000 || value > 0x10FFFD)) return false;
        out.Add(value);
        expected = 0;
    }
    return expected == 0;
}

// Appends the code points of the UTF-16 units to `out`; false on a malformed pair. Either kind
// of surrogate starts a pair; the pending value is kept in 32 bits, so a low surrogate in the
// first position yields a value above U+10FFFD, which is refused.
bool DecodeUtf16Units(const unsigned short* units, std::size_t length, IArray<unsigned int>& out) {
    bool hasPending = false;
    unsigned int pending = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned int unit = units[i];
        if (!hasPending) {
            if (unit >= 0xD800 && unit <= 0xDFFF) {
                pending = (unit - 0xD800) << 10;
                hasPending = true;
            } else {
                out.Add(unit);
            }
            continue;
        }
        if (unit < 0xDC00) return false;
        const unsigned int codePoint = (pending | ((unit - 0xDC00) & 0xFFFF)) + 0x10000;
        if (codePoint > 0x10FFFD) return false;
        out.Add(codePoint);
        hasPending = false;
    }
    return !hasPending;
}

}  // namespace

String::String(const char* utf8, int length) {
    SetUtf8(utf8, length);
}

String::String(const unsigned short* utf16, int length) {
    SetUtf16(utf16, length);
}

String::String(const std::string& utf8) {
    DecodeUtf8(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size());
}

String& String::operator=(const String& other) {
    codePoints_ = other.codePoints_;
    return *this;
}

bool String::SetUtf8(const char* utf8, int length) {
    if (utf8 == nullptr || length == 0) {
        codePoints_.Clear();
        return true;
    }
    if (length < -1) {
        codePoints_.Clear();
        return false;
    }
    const std::size_t byteCount =
        length == -1 ? std::strlen(utf8) : static_cast<std::size_t>(length);
    return DecodeUtf8(reinterpret_cast<const unsigned char*>(utf8), byteCount);
}

bool String::DecodeUtf8(const unsigned char* bytes, std::size_t length) {
    codePoints_.Clear();
    if (length > UINT32_MAX) return false;
    codePoints_.Reserve(static_cast<unsigned>(length));
    if (DecodeUtf8Bytes(bytes, length, codePoints_)) return true;
    codePoints_.Clear();
    return false;
}

bool String::SetUtf16(const unsigned short* utf16, int length) {
    codePoints_.Clear();
    if (utf16 == nullptr) return true;
    if (length < -1) return false;
    const std::size_t unitCount =
        length == -1 ? ZeroTerminatedLength(utf16) : static_cast<std::size_t>(length);
    if (unitCount > UINT32_MAX) return false;
    codePoints_.Reserve(static_cast<unsigned>(unitCount));
    if (DecodeUtf16Units(utf16, unitCount, codePoints_)) return true;
    codePoints_.Clear();
    return false;
}

const char* String::GetUtf8() const {
    utf8_.Clear();
    // Enough for ASCII text and its terminator in one allocation.
    utf8_.Reserve(codePoints_.GetCount() + 1);
    for (unsigned i = 0; i < codePoints_.GetCount(); ++i) {
        const unsigned int cp = codePoints_.At(i);
        if (cp <= 0x7F) {
            utf8_.Add(static_cast<char>(cp));
        } else if (cp <= 0x7FF) {
            const char bytes[] = {static_cast<char>(0xC0 | (cp >> 6)),
                                  static_cast<char>(0x80 | (cp & 0x3F))};
            utf8_.AddRange(bytes, 2);
        } else if (cp <= 0xFFFF) {
            const char bytes[] = {static_cast<char>(0xE0 | (cp >> 12)),
                                  static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                                  static_cast<char>(0x80 | (cp & 0x3F))};
            utf8_.AddRange(bytes, 3);
        } else if (cp <= 0x10FFFF) {
            const char bytes[] = {static_cast<char>(0xF0 | (cp >> 18)),
                                  static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
                                  static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                                  static_cast<char>(0x80 | (cp & 0x3F))};
            utf8_.AddRange(bytes, 4);
        }
    }
    utf8_.Add('\0');
    return utf8_.GetData();
}

const unsigned short* String::GetUtf16() const {
    utf16_.Clear();
    // Enough for text without surrogate pairs and its terminator in one allocation.
    utf16_.Reserve(codePoints_.GetCount() + 1);
    for (unsigned i = 0; i < codePoints_.GetCount(); ++i) {
        const unsigned int cp = codePoints_.At(i);
        if (cp < 0xD800 || (cp >= 0xE000 && cp <= 0xFFFE)) {
            utf16_.Add(static_cast<unsigned short>(cp));
        } else {
            // Everything else, including 0xFFFF and lone surrogates, becomes a pair.
            const unsigned short units[] = {
                static_cast<unsigned short>(0xD800 + ((cp - 0x10000) >> 10)),
                static_cast<unsigned short>(0xDC00 + (cp & 0x3FF))};
            utf16_.AddRange(units, 2);
        }
    }
    utf16_.Add(0);
    return utf16_.GetData();
}

String& String::Append(const String& other) {
    codePoints_.AddRange(other.codePoints_.GetData(), other.codePoints_.GetCount());
    return *this;
}

String& String::AppendChar(char c) {
    if (c != '\0') codePoints_.Add(WidenChar(c));
    return *this;
}

String& String::AppendUInt(unsigned int value) {
    char text[1024];
    std::snprintf(text, sizeof(text), "%u", value);
    AppendText(*this, text);
    return *this;
}

String& String::AppendInt(int value) {
    char text[1024];
    std::snprintf(text, sizeof(text), "%d", value);
    AppendText(*this, text);
    return *this;
}

String String::Concat(const String& a, const String& b) {
    String result(a);
    result.Append(b);
    return result;
}

bool String::Equals(const String& other) const {
    const unsigned length = GetLength();
    if (other.GetLength() != length) return false;
    return length == 0 || std::memcmp(codePoints_.GetData(), other.codePoints_.GetData(),
                                      length * sizeof(unsigned int)) == 0;
}

bool String::EndsWith(const String& suffix) const {
    const unsigned length = GetLength();
    const unsigned suffixLength = suffix.GetLength();
    if (suffixLength > length) return false;
    const unsigned offset = length - suffixLength;
    for (unsigned i = 0; i < suffixLength; ++i) {
        if (codePoints_.At(offset + i) != suffix.codePoints_.At(i)) return false;
    }
    return true;
}

int String::Find(const String& pattern, unsigned start) const {
    const unsigned length = GetLength();
    const unsigned patternLength = pattern.GetLength();
    if (patternLength == 0 || patternLength > length || start >= length) return -1;
    const unsigned int* text = codePoints_.GetData();
    const unsigned int* wanted = pattern.codePoints_.GetData();
    for (unsigned i = start; i <= length - patternLength; ++i) {
        if (std::memcmp(text + i, wanted, patternLength * sizeof(unsigned int)) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

String String::Substring(unsigned start, unsigned end) const {
    String result;
    CopyNonZero(start, end < GetLength() ? end : GetLength(), result);
    return result;
}

void String::CopyNonZero(unsigned begin, unsigned end, String& out) const {
    for (unsigned i = begin; i < end; ++i) {
        const unsigned int cp = codePoints_.At(i);
        if (cp != 0) out.codePoints_.Add(cp);
    }
}

String String::Trim() const {
    unsigned begin = 0;
    unsigned end = GetLength();
    while (begin < end && IsWhitespace(codePoints_.At(begin))) ++begin;
    while (end > begin && IsWhitespace(codePoints_.At(end - 1))) --end;
    String result;
    result.codePoints_.AddRange(codePoints_.GetData() + begin, end - begin);
    return result;
}

bool String::IsBlank() const {
    for (unsigned i = 0; i < GetLength(); ++i) {
        if (!IsWhitespace(codePoints_.At(i))) return false;
    }
    return true;
}

bool String::Split(char separator, IArray<String>& pieces, unsigned maxPieces) const {
    const unsigned int wanted = WidenChar(separator);
    const unsigned length = GetLength();
    unsigned added = 0;
    unsigned cut = 0;
    for (unsigned i = 0; i < length && added < maxPieces; ++i) {
        if (codePoints_.At(i) != wanted) continue;
        pieces.Add(Substring(cut, i));
        cut = i + 1;
        ++added;
    }
    if (added > 0 && added < maxPieces) pieces.Add(Substring(cut, length));
    return added > 0;
}

std::uint64_t String::ToUInt64() const {
    const String text = Trim();
    std::uint64_t value = 0;
    for (unsigned i = 0; i < text.GetLength(); ++i) {
        const unsigned int cp = text.codePoints_.At(i);
        if (cp < '0' || cp > '9') return 0;
        value = value * 10 + (cp - '0');
    }
    return value;
}

std::uint32_t String::ToUInt32() const {
    const std::uint64_t value = ToUInt64();
    return value > UINT32_MAX ? 0 : static_cast<std::uint32_t>(value);
}

bool IsWhitespace(unsigned int codePoint) {
    switch (codePoint) {
        case 0x0000:
        case 0x0020:
        case 0x00A0:
        case 0x180E:
        case 0x2028:
        case 0x2029:
        case 0x202F:
        case 0x205F:
        case 0x3000:
            return true;
        default:
            return (codePoint >= 0x0009 && codePoint <= 0x000D) ||
                   (codePoint >= 0x2000 && codePoint <= 0x200A);
    }
}

bool Contains(const IArray<String>& strings, const String& value) {
    return IndexOf(strings, value) != -1;
}

int IndexOf(const IArray<String>& strings, const String& value) {
    for (unsigned i = 0; i < strings.GetCount(); ++i) {
        if (strings.At(i).Equals(value)) return static_cast<int>(i);
    }
    return -1;
}

namespace {

template <typename T>
void WipeArray(HybridArray<T, 0>& array) {
    // Volatile stores: the compiler must not drop them as dead before the storage is reused.
    volatile T* storage = array.GetData();
    for (unsigned i = 0; i < array.GetCapacity(); ++i) storage[i] = 0;
    array.Clear();
}

}  // namespace

void String::Wipe() {
    WipeArray(codePoints_);
    WipeArray(utf8_);
    WipeArray(utf16_);
}

}  // namespace common
}  // namespace kx
