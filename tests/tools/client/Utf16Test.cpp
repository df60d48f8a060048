#include "kx/halyxclient/Utf16.h"

#include <gtest/gtest.h>

namespace kx {
namespace halyxclient {
namespace {

TEST(Utf16Test, RoundTripsEveryEncodingLength) {
    // A, e-acute, a Japanese syllable, and a character beyond the basic plane.
    const std::string text = "A\xC3\xA9\xE3\x82\xBB\xF0\x9F\x8E\xAE";
    const Utf16Text wide = Utf8ToUtf16(text);
    EXPECT_EQ(wide, (Utf16Text{0x41, 0xE9, 0x30BB, 0xD83C, 0xDFAE, 0}));
    EXPECT_EQ(Utf16ToUtf8(wide.data()), text);
}

TEST(Utf16Test, EmptyAndNull) {
    EXPECT_EQ(Utf8ToUtf16(""), Utf16Text{0});
    EXPECT_EQ(Utf16ToUtf8(nullptr), "");
}

TEST(Utf16Test, BrokenInputBecomesReplacementCharacters) {
    EXPECT_EQ(Utf8ToUtf16("a\xFF"
                          "b"),
              (Utf16Text{'a', 0xFFFD, 'b', 0}));
    EXPECT_EQ(Utf8ToUtf16("\xE3\x82"), (Utf16Text{0xFFFD, 0}));      // cut short
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), (Utf16Text{0xFFFD, 0}));      // overlong
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), (Utf16Text{0xFFFD, 0}));  // encoded surrogate
    const unsigned short lone[] = {'x', 0xD800, 'y', 0xDC00, 0};
    EXPECT_EQ(Utf16ToUtf8(lone), "x\xEF\xBF\xBDy\xEF\xBF\xBD");
}

}  // namespace
}  // namespace halyxclient
}  // namespace kx
