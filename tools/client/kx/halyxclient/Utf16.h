#pragma once

#include <string>
#include <vector>

namespace kx {
namespace halyxclient {

// Zero-terminated UTF-16 in unsigned 16-bit units, as the library's wide texts are.
using Utf16Text = std::vector<unsigned short>;

// Converts UTF-8 to zero-terminated UTF-16. Invalid sequences become U+FFFD.
Utf16Text Utf8ToUtf16(const std::string& text);

// Converts zero-terminated UTF-16 (null counts as empty) to UTF-8. Unpaired surrogates become
// U+FFFD.
std::string Utf16ToUtf8(const unsigned short* text);

}  // namespace halyxclient
}  // namespace kx
