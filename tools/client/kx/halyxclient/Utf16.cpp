#include "kx/halyxclient/Utf16.h"

namespace kx {
namespace halyxclient {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at text[*at] and moves *at past it.
char32_t DecodeUtf8(const std::string& text, std::size_t* at) {
    const auto lead = static_cast<unsigned char>(text[(*at)++]);
    if (lead < 0x80) {
        return lead;
    }
    int extra;
    char32_t point;
    char32_t least;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, point = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, point = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, point = lead & 0x07, least = 0x10000;
    } else {
        return kReplacement;
    }
    for (int i = 0; i < extra; ++i) {
        if (*at >= text.size() || (static_cast<unsigned char>(text[*at]) & 0xC0) != 0x80) {
            return kReplacement;
        }
        point = (point << 6) | (static_cast<unsigned char>(text[(*at)++]) & 0x3F);
    }
    if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        return kReplacement;
    }
    return point;
}

void AppendUtf8(char32_t point, std::string* out) {
    if (point < 0x80) {
        out->push_back(static_cast<char>(point));
    } else if (point < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (point >> 6)));
        out->push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else if (point < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (point >> 12)));
        out->push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (point >> 18)));
        out->push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (point & 0x3F)));
    }
}

}  // namespace

Utf16Text Utf8ToUtf16(const std::string& text) {
    Utf16Text out;
    for (std::size_t at = 0; at < text.size();) {
        const char32_t point = DecodeUtf8(text, &at);
        if (point >= 0x10000) {
            out.push_back(static_cast<unsigned short>(0xD800 + ((point - 0x10000) >> 10)));
            out.push_back(static_cast<unsigned short>(0xDC00 + ((point - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<unsigned short>(point));
        }
    }
    out.push_back(0);
    return out;
}

std::string Utf16ToUtf8(const unsigned short* text) {
    std::string out;
    for (std::size_t i = 0; text != nullptr && text[i] != 0; ++i) {
        char32_t point = text[i];
        if (point >= 0xD800 && point <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            point = 0x10000 + ((point - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (point >= 0xD800 && point <= 0xDFFF) {
            point = kReplacement;
        }
        AppendUtf8(point, &out);
    }
    return out;
}

}  // namespace halyxclient
}  // namespace kx
