#include "UnicodeModel.h"

namespace kx {
namespace fuzz {

namespace {

// How a UTF-8 sequence starting with `lead` is read: its total length (0 for a byte that
// cannot start one) and the value bits the lead byte carries.
struct Lead {
    unsigned length;
    std::uint32_t bits;
};

Lead ClassifyLead(std::uint8_t lead) {
    if (lead <= 0x7F) return {1, lead};
    if (lead >= 0xC2 && lead <= 0xDF) return {2, lead & 0x1Fu};
    if (lead >= 0xE0 && lead <= 0xEF) return {3, lead & 0x0Fu};
    if (lead >= 0xF0 && lead <= 0xF4) return {4, lead & 0x07u};
    return {0, 0};  // continuation bytes, C0, C1 and F5 to FF
}

}  // namespace

std::optional<CodePoints> ModelDecodeUtf8(const std::uint8_t* bytes, std::size_t length) {
    CodePoints out;
    std::size_t i = 0;
    while (i < length) {
        const Lead lead = ClassifyLead(bytes[i]);
        if (lead.length == 0 || length - i < lead.length) return std::nullopt;
        std::uint32_t value = lead.bits;
        for (unsigned k = 1; k < lead.length; ++k) {
            const std::uint8_t next = bytes[i + k];
            // Only the top bit of a continuation byte is checked.
            if (next < 0x80) return std::nullopt;
            value = value * 64 + (next & 0x3Fu);
        }
        if (lead.length == 3 && value < 0x800) return std::nullopt;
        if (lead.length == 4 && (value < 0x10000 || value > 0x10FFFD)) return std::nullopt;
        out.push_back(value);
        i += lead.length;
    }
    return out;
}

std::optional<CodePoints> ModelDecodeUtf16(const std::uint16_t* units, std::size_t length) {
    CodePoints out;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint32_t first = units[i];
        if (first < 0xD800 || first > 0xDFFF) {
            out.push_back(first);
            continue;
        }
        if (i + 1 == length) return std::nullopt;
        const std::uint32_t second = units[++i];
        if (second < 0xDC00) return std::nullopt;
        // A low surrogate in the first place gives a high part of 0x100000 or more, so the
        // result is out of range: such a pair is refused.
        const std::uint32_t high = (first - 0xD800) * 1024;
        const std::uint32_t value = (high | (second - 0xDC00)) + 0x10000;
        if (value > 0x10FFFD) return std::nullopt;
        out.push_back(value);
    }
    return out;
}

std::vector<std::uint8_t> ModelEncodeUtf8(const CodePoints& codePoints) {
    std::vector<std::uint8_t> out;
    for (const std::uint32_t cp : codePoints) {
        unsigned length;
        std::uint8_t leadMark;
        if (cp < 0x80) {
            out.push_back(static_cast<std::uint8_t>(cp));
            continue;
        } else if (cp < 0x800) {
            length = 2;
            leadMark = 0xC0;
        } else if (cp < 0x10000) {
            length = 3;
            leadMark = 0xE0;
        } else if (cp < 0x110000) {
            length = 4;
            leadMark = 0xF0;
        } else {
            continue;  // no UTF-8 form
        }
        std::uint8_t sequence[4];
        std::uint32_t rest = cp;
        for (unsigned k = length - 1; k > 0; --k) {
            sequence[k] = static_cast<std::uint8_t>(0x80 | (rest % 64));
            rest /= 64;
        }
        sequence[0] = static_cast<std::uint8_t>(leadMark | rest);
        out.insert(out.end(), sequence, sequence + length);
    }
    return out;
}

std::vector<std::uint16_t> ModelEncodeUtf16(const CodePoints& codePoints) {
    std::vector<std::uint16_t> out;
    for (const std::uint32_t cp : codePoints) {
        const bool single = cp < 0xD800 || (cp >= 0xE000 && cp < 0xFFFF);
        if (single) {
            out.push_back(static_cast<std::uint16_t>(cp));
            continue;
        }
        // Unsigned 32-bit arithmetic, each unit cut to 16 bits.
        const std::uint32_t offset = cp - 0x10000u;
        out.push_back(static_cast<std::uint16_t>((0xD800u + offset / 1024) % 0x10000));
        out.push_back(static_cast<std::uint16_t>((0xDC00u + cp % 1024) % 0x10000));
    }
    return out;
}

bool ModelIsWhitespace(std::uint32_t codePoint) {
    // The whitespace definition as written: single code points and inclusive ranges, in
    // ascending order. U+0085 and U+1680 are deliberately absent.
    static const std::uint32_t kWhitespaceRanges[][2] = {
        {0x0000, 0x0000}, {0x0009, 0x000D}, {0x0020, 0x0020}, {0x00A0, 0x00A0}, {0x180E, 0x180E},
        {0x2000, 0x200A}, {0x2028, 0x2029}, {0x202F, 0x202F}, {0x205F, 0x205F}, {0x3000, 0x3000},
    };
    for (const auto& range : kWhitespaceRanges) {
        if (codePoint < range[0]) return false;
        if (codePoint <= range[1]) return true;
    }
    return false;
}

}  // namespace fuzz
}  // namespace kx
