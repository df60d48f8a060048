// Plays a fuzz input as a sequence of String operations (decode UTF-8 or UTF-16 with an
// explicit length or up to the terminator, append a decoded piece, single characters or the
// string itself, encode) and compares every result and every encoding with the reference model.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "InputReader.h"
#include "UnicodeModel.h"
#include "kx/common/String.h"

namespace {

using kx::common::String;
using kx::fuzz::CodePoints;
using kx::fuzz::InputReader;

void RequireContent(const String& string, const CodePoints& model) {
    KX_FUZZ_REQUIRE(string.GetLength() == model.size());
    for (unsigned i = 0; i < string.GetLength(); ++i) {
        KX_FUZZ_REQUIRE(string.GetCodePoint(i) == model[i]);
    }
}

// Length of `units` up to (not including) its first zero, or its size.
template <typename T>
std::size_t VisibleLength(const std::vector<T>& units) {
    std::size_t length = 0;
    while (length < units.size() && units[length] != 0) ++length;
    return length;
}

// Compares both encodings with the model's: everything a caller can see, up to and including
// the first zero.
void RequireEncodings(const String& string, const CodePoints& model) {
    const std::vector<std::uint8_t> utf8 = kx::fuzz::ModelEncodeUtf8(model);
    const std::size_t utf8Length = VisibleLength(utf8);
    const char* gotUtf8 = string.GetUtf8();
    KX_FUZZ_REQUIRE(std::strlen(gotUtf8) == utf8Length);
    for (std::size_t i = 0; i < utf8Length; ++i) {
        KX_FUZZ_REQUIRE(static_cast<std::uint8_t>(gotUtf8[i]) == utf8[i]);
    }

    const std::vector<std::uint16_t> utf16 = kx::fuzz::ModelEncodeUtf16(model);
    const std::size_t utf16Length = VisibleLength(utf16);
    const unsigned short* gotUtf16 = string.GetUtf16();
    for (std::size_t i = 0; i < utf16Length; ++i) KX_FUZZ_REQUIRE(gotUtf16[i] == utf16[i]);
    KX_FUZZ_REQUIRE(gotUtf16[utf16Length] == 0);

    // Decoding what was encoded agrees with the model too (values that have no or no
    // acceptable encoding make this a decoding failure on both sides).
    String again;
    const auto decoded8 = kx::fuzz::ModelDecodeUtf8(utf8.data(), utf8Length);
    KX_FUZZ_REQUIRE(again.SetUtf8(gotUtf8, static_cast<int>(utf8Length)) == decoded8.has_value());
    RequireContent(again, decoded8.value_or(CodePoints()));
    const auto decoded16 = kx::fuzz::ModelDecodeUtf16(utf16.data(), utf16Length);
    KX_FUZZ_REQUIRE(again.SetUtf16(gotUtf16, -1) == decoded16.has_value());
    RequireContent(again, decoded16.value_or(CodePoints()));
}

// Replaces the model by the decoding of `bytes` and checks the setter's result against it.
void DecodeUtf8(String& string, CodePoints& model, const std::uint8_t* bytes, std::size_t length,
                bool zeroTerminated) {
    std::size_t used = length;
    bool ok;
    if (zeroTerminated) {
        const std::string text(reinterpret_cast<const char*>(bytes), length);
        used = std::strlen(text.c_str());
        ok = string.SetUtf8(text.c_str(), -1);
    } else {
        ok = string.SetUtf8(reinterpret_cast<const char*>(bytes), static_cast<int>(length));
    }
    const auto expected = kx::fuzz::ModelDecodeUtf8(bytes, used);
    KX_FUZZ_REQUIRE(ok == expected.has_value());
    model = expected.value_or(CodePoints());
    RequireContent(string, model);
}

void DecodeUtf16(String& string, CodePoints& model, const std::uint8_t* bytes, std::size_t length,
                 bool zeroTerminated) {
    std::vector<std::uint16_t> units(length / 2);
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    std::size_t used = units.size();
    bool ok;
    if (zeroTerminated) {
        used = VisibleLength(units);
        units.push_back(0);
        ok = string.SetUtf16(units.data(), -1);
    } else {
        ok = string.SetUtf16(units.data(), static_cast<int>(units.size()));
    }
    const auto expected = kx::fuzz::ModelDecodeUtf16(units.data(), used);
    KX_FUZZ_REQUIRE(ok == expected.has_value());
    model = expected.value_or(CodePoints());
    RequireContent(string, model);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    InputReader input(data, size);
    String string;
    CodePoints model;
    while (input.HasMore()) {
        const std::uint8_t op = input.Byte();
        std::size_t length;
        const std::uint8_t* piece = input.Piece(input.Byte(), length);
        switch (op % 8) {
            case 0:
            case 1:
                DecodeUtf8(string, model, piece, length, op % 8 == 1);
                break;
            case 2:
            case 3:
                DecodeUtf16(string, model, piece, length, op % 8 == 3);
                break;
            case 4: {
                // The std::string constructor, then Append.
                const std::string bytes(reinterpret_cast<const char*>(piece), length);
                const String other(bytes);
                const auto decoded = kx::fuzz::ModelDecodeUtf8(piece, length);
                RequireContent(other, decoded.value_or(CodePoints()));
                string.Append(other);
                if (decoded) model.insert(model.end(), decoded->begin(), decoded->end());
                break;
            }
            case 5:
                // Characters widen as signed 8-bit values; a zero byte appends nothing.
                for (std::size_t i = 0; i < length; ++i) {
                    const char c = static_cast<char>(piece[i]);
                    string.AppendChar(c);
                    if (c != 0) {
                        model.push_back(static_cast<std::uint32_t>(static_cast<signed char>(c)));
                    }
                }
                break;
            case 6: {
                string.Append(string);
                const CodePoints copy = model;
                model.insert(model.end(), copy.begin(), copy.end());
                break;
            }
            default:
                RequireEncodings(string, model);
                break;
        }
        RequireContent(string, model);
        if (model.size() > 4096) {
            // Self-appends double the text; keep each input cheap.
            string = String();
            model.clear();
        }
    }
    RequireEncodings(string, model);
    return 0;
}
