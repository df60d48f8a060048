#include "kx/common/String.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using kx::common::HybridArray;
using kx::common::String;
using CodePoints = std::vector<unsigned int>;
using Units = std::vector<unsigned short>;

CodePoints CodePointsOf(const String& s) {
    CodePoints result;
    for (unsigned i = 0; i < s.GetLength(); ++i) result.push_back(s.GetCodePoint(i));
    return result;
}

// Decodes `bytes` into `out`; returns SetUtf8's result.
bool DecodeBytes(const std::vector<unsigned char>& bytes, String& out) {
    return out.SetUtf8(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
}

bool DecodeUnits(const Units& units, String& out) {
    return out.SetUtf16(units.data(), static_cast<int>(units.size()));
}

std::vector<unsigned char> Utf8Of(const String& s) {
    const char* text = s.GetUtf8();
    return std::vector<unsigned char>(text, text + std::strlen(text));
}

Units Utf16Of(const String& s) {
    Units units;
    for (const unsigned short* p = s.GetUtf16(); *p != 0; ++p) units.push_back(*p);
    return units;
}

TEST(StringTest, Utf8DecodingAcceptsWellFormedAndLenientSequences) {
    const struct {
        std::vector<unsigned char> bytes;
        CodePoints expected;
    } cases[] = {
        {{0xC3, 0xA9}, {0xE9}},
        {{0xED, 0xA0, 0x80}, {0xD800}},
        {{0xEF, 0xBF, 0xBF}, {0xFFFF}},
        {{0xF0, 0x90, 0x80, 0x80}, {0x10000}},
        {{0xF4, 0x8F, 0xBF, 0xBD}, {0x10FFFD}},
        {{'a', 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80}, {'a', 0x20AC, 0x1F600}},
        {{'a', 0x00, 'b'}, {'a', 0, 'b'}},
        // A continuation byte only needs its top bit.
        {{0xC3, 0xC3}, {0xC3}},
    };
    for (const auto& c : cases) {
        String s;
        EXPECT_TRUE(DecodeBytes(c.bytes, s));
        EXPECT_EQ(CodePointsOf(s), c.expected);
    }
}

TEST(StringTest, Utf8DecodingErrorsLeaveTheStringEmpty) {
    const std::vector<unsigned char> cases[] = {
        {0xE0, 0x80, 0x80},        // overlong 3-byte sequence
        {0xC0, 0x80},              // overlong lead byte
        {0xC1, 0xBF},              // overlong lead byte
        {0xF4, 0x90, 0x80, 0x80},  // above 0x10FFFD
        {0xF4, 0x8F, 0xBF, 0xBE},  // above 0x10FFFD
        {0xF0, 0x8F, 0xBF, 0xBF},  // overlong 4-byte sequence
        {0xF5, 0x80, 0x80, 0x80},  // lead byte out of range
        {0xE2, 0x82},              // truncated
        {0xC3, 0x41},              // second byte without its top bit
        {'a', 0x80},               // continuation byte where a character starts
    };
    for (const auto& bytes : cases) {
        String s("previous");
        EXPECT_FALSE(DecodeBytes(bytes, s));
        EXPECT_EQ(s.GetLength(), 0u);
    }
}

TEST(StringTest, Utf8LengthAndNullHandling) {
    String s("abc", -1);
    EXPECT_EQ(s.GetLength(), 3u);
    EXPECT_TRUE(s.SetUtf8("abcdef", 2));
    EXPECT_EQ(CodePointsOf(s), (CodePoints{'a', 'b'}));
    EXPECT_TRUE(s.SetUtf8(nullptr, -1));
    EXPECT_EQ(s.GetLength(), 0u);
    s = String("x");
    EXPECT_TRUE(s.SetUtf8("abc", 0));
    EXPECT_EQ(s.GetLength(), 0u);
    s = String("x");
    EXPECT_FALSE(s.SetUtf8("abc", -2));
    EXPECT_EQ(s.GetLength(), 0u);
    EXPECT_EQ(CodePointsOf(String(std::string("a\0b", 3))), (CodePoints{'a', 0, 'b'}));
}

TEST(StringTest, Utf16Decoding) {
    String s;
    EXPECT_TRUE(DecodeUnits({0xD83D, 0xDE00}, s));
    EXPECT_EQ(CodePointsOf(s), (CodePoints{0x1F600}));
    EXPECT_TRUE(DecodeUnits({0xD800, 0xDC00, 'z', 0xDBFF, 0xDFFD}, s));
    EXPECT_EQ(CodePointsOf(s), (CodePoints{0x10000, 'z', 0x10FFFD}));

    const Units failures[] = {
        {'a', 0xD800},   // pending unit at the end
        {0xD800, 0x41},  // second unit below 0xDC00
        {0xDBFF, 0xDFFE},
        // A low surrogate first makes the pending value 0x100000: the result is 0x110000.
        {0xDC00, 0xDC00},
    };
    for (const auto& units : failures) {
        s = String("previous");
        EXPECT_FALSE(DecodeUnits(units, s));
        EXPECT_EQ(s.GetLength(), 0u);
    }

    const unsigned short text[] = {'h', 'i', 0, 'x'};
    EXPECT_EQ(String(text).GetLength(), 2u);
    EXPECT_EQ(String(text, 4).GetLength(), 4u);
    EXPECT_EQ(String(static_cast<const unsigned short*>(nullptr)).GetLength(), 0u);
}

TEST(StringTest, Utf16EncodingWritesPairsForEverythingOutsideTheBmpRanges) {
    String s;
    ASSERT_TRUE(DecodeBytes({0xF0, 0x9F, 0x98, 0x80}, s));
    EXPECT_EQ(Utf16Of(s), (Units{0xD83D, 0xDE00}));
    ASSERT_TRUE(DecodeBytes({0xEF, 0xBF, 0xBF}, s));
    EXPECT_EQ(Utf16Of(s), (Units{0xD7FF, 0xDFFF}));
    ASSERT_TRUE(DecodeBytes({0xEF, 0xBF, 0xBE, 0xEE, 0x80, 0x80, 'a'}, s));
    EXPECT_EQ(Utf16Of(s), (Units{0xFFFE, 0xE000, 'a'}));
    ASSERT_TRUE(DecodeBytes({0xED, 0xA0, 0x80}, s));
    EXPECT_EQ(Utf16Of(s), (Units{0xD7F6, 0xDC00}));
}

TEST(StringTest, Utf8EncodingSkipsValuesWithoutAForm) {
    String s;
    ASSERT_TRUE(DecodeUnits({'a', 0xE9, 0x20AC, 0xD83D, 0xDE00, 0xDBFF, 0xDFFD}, s));
    EXPECT_EQ(Utf8Of(s), (std::vector<unsigned char>{'a', 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F,
                                                     0x98, 0x80, 0xF4, 0x8F, 0xBF, 0xBD}));
    ASSERT_TRUE(DecodeBytes({0xED, 0xA0, 0x80}, s));
    EXPECT_EQ(Utf8Of(s), (std::vector<unsigned char>{0xED, 0xA0, 0x80}));

    // A byte from 0x80 up is widened to 0xFFFFFF80 and above, which has no UTF-8 form.
    String wide("x");
    wide.AppendChar('\xE9').AppendChar('y');
    EXPECT_EQ(CodePointsOf(wide), (CodePoints{'x', 0xFFFFFFE9u, 'y'}));
    EXPECT_STREQ(wide.GetUtf8(), "xy");
    EXPECT_STREQ(String().GetUtf8(), "");
}

TEST(StringTest, AppendingAndConcatenation) {
    String s("n=");
    s.AppendUInt(4294967295u).AppendChar(' ').AppendInt(-17).AppendChar('\0');
    EXPECT_STREQ(s.GetUtf8(), "n=4294967295 -17");
    s.Append(s);
    EXPECT_STREQ(s.GetUtf8(), "n=4294967295 -17n=4294967295 -17");
    const String joined = String::Concat(String("ab"), String("cd"));
    EXPECT_STREQ(joined.GetUtf8(), "abcd");
}

TEST(StringTest, ComparisonAndSearch) {
    const String text("abcabc");
    EXPECT_TRUE(text.Equals(String("abcabc")));
    EXPECT_FALSE(text.Equals(String("abcab")));
    EXPECT_FALSE(text.Equals(String("abcabd")));
    EXPECT_TRUE(String().Equals(String()));

    EXPECT_TRUE(text.EndsWith(String("bc")));
    EXPECT_TRUE(text.EndsWith(String()));
    EXPECT_FALSE(text.EndsWith(String("ab")));
    EXPECT_FALSE(String("c").EndsWith(String("bc")));

    EXPECT_EQ(text.Find(String("bc"), 0), 1);
    EXPECT_EQ(text.Find(String("bc"), 2), 4);
    EXPECT_EQ(text.Find(String("bc"), 5), -1);
    EXPECT_EQ(text.Find(String("abc"), 3), 3);
    EXPECT_EQ(text.Find(String(""), 0), -1);
    EXPECT_EQ(text.Find(String("abcabcx"), 0), -1);
    EXPECT_EQ(text.Find(String("a"), 6), -1);
}

TEST(StringTest, SubstringClipsAndDropsZeros) {
    const String text(std::string("ab\0cd", 5));
    EXPECT_STREQ(text.Substring(1, 4).GetUtf8(), "bc");
    EXPECT_STREQ(text.Substring(3, 99).GetUtf8(), "cd");
    EXPECT_STREQ(text.Substring(0).GetUtf8(), "abcd");
    EXPECT_EQ(text.Substring(3, 3).GetLength(), 0u);
    EXPECT_EQ(text.Substring(4, 2).GetLength(), 0u);
    EXPECT_EQ(text.Substring(6, 9).GetLength(), 0u);
}

TEST(StringTest, WhitespaceTrimAndBlank) {
    String s("\t x ");
    s.Append(String("\xE3\x80\x80"));
    EXPECT_EQ(CodePointsOf(s.Trim()), (CodePoints{'x'}));
    EXPECT_EQ(CodePointsOf(String(" a b ").Trim()), (CodePoints{'a', ' ', 'b'}));
    EXPECT_EQ(String(" \r\n").Trim().GetLength(), 0u);
    EXPECT_TRUE(String().IsBlank());
    EXPECT_TRUE(String(std::string(" \0\t", 3)).IsBlank());
    EXPECT_FALSE(String(" .").IsBlank());

    for (unsigned int cp : {0x0u, 0x9u, 0xDu, 0x20u, 0xA0u, 0x180Eu, 0x2000u, 0x200Au, 0x2028u,
                            0x2029u, 0x202Fu, 0x205Fu, 0x3000u}) {
        EXPECT_TRUE(kx::common::IsWhitespace(cp)) << cp;
    }
    for (unsigned int cp : {0x8u, 0xEu, 0x1Fu, 0x85u, 0x1680u, 0x200Bu, 0xFEFFu, 0x78u}) {
        EXPECT_FALSE(kx::common::IsWhitespace(cp)) << cp;
    }
}

TEST(StringTest, SplitCutsAtEverySeparator) {
    HybridArray<String, 0> pieces;
    EXPECT_TRUE(String("a,,b").Split(',', pieces));
    ASSERT_EQ(pieces.GetCount(), 3u);
    EXPECT_STREQ(pieces.At(0).GetUtf8(), "a");
    EXPECT_EQ(pieces.At(1).GetLength(), 0u);
    EXPECT_STREQ(pieces.At(2).GetUtf8(), "b");

    pieces.Clear();
    EXPECT_FALSE(String("abc").Split(',', pieces));
    EXPECT_EQ(pieces.GetCount(), 0u);

    EXPECT_TRUE(String("a,").Split(',', pieces));
    ASSERT_EQ(pieces.GetCount(), 2u);
    EXPECT_STREQ(pieces.At(0).GetUtf8(), "a");
    EXPECT_EQ(pieces.At(1).GetLength(), 0u);

    pieces.Clear();
    String wide;
    wide.AppendChar('x').AppendChar('\xFF').AppendChar('y');
    EXPECT_TRUE(wide.Split('\xFF', pieces));
    EXPECT_EQ(pieces.GetCount(), 2u);
}

TEST(StringTest, SplitStopsAtTheLimitAndLeavesTheRestUncut) {
    HybridArray<String, 0> pieces;
    EXPECT_TRUE(String("a,b,c,d").Split(',', pieces, 3));
    ASSERT_EQ(pieces.GetCount(), 3u);
    EXPECT_STREQ(pieces.At(2).GetUtf8(), "c");

    // Reaching the limit exactly with the remainder still gives every piece.
    pieces.Clear();
    EXPECT_TRUE(String("a,b").Split(',', pieces, 2));
    ASSERT_EQ(pieces.GetCount(), 2u);
    EXPECT_STREQ(pieces.At(1).GetUtf8(), "b");

    pieces.Clear();
    EXPECT_TRUE(String(std::string(100000, ',')).Split(',', pieces, 3));
    EXPECT_EQ(pieces.GetCount(), 3u);
}

TEST(StringTest, NumberParsing) {
    EXPECT_EQ(String(" 42 ").ToUInt64(), 42u);
    EXPECT_EQ(String("4x2").ToUInt64(), 0u);
    EXPECT_EQ(String("-1").ToUInt64(), 0u);
    EXPECT_EQ(String("").ToUInt64(), 0u);
    EXPECT_EQ(String("18446744073709551615").ToUInt64(), UINT64_MAX);
    EXPECT_EQ(String("18446744073709551617").ToUInt64(), 1u);
    EXPECT_EQ(String("4294967295").ToUInt32(), 4294967295u);
    EXPECT_EQ(String("4294967296").ToUInt32(), 0u);
    EXPECT_EQ(String("\t7\n").ToUInt32(), 7u);
}

TEST(StringTest, StringArraysSearchWithEquals) {
    HybridArray<String, 0> names;
    names.Add(String("en"));
    names.Add(String("de"));
    names.Add(String("de"));
    EXPECT_EQ(kx::common::IndexOf(names, String("de")), 1);
    EXPECT_EQ(kx::common::IndexOf(names, String("fr")), -1);
    EXPECT_TRUE(kx::common::Contains(names, String("en")));
    EXPECT_FALSE(kx::common::Contains(names, String("e")));
}

TEST(StringTest, CopiesAndMovesKeepTheirOwnContent) {
    String original("text");
    String copy(original);
    copy.AppendChar('!');
    EXPECT_STREQ(original.GetUtf8(), "text");
    EXPECT_STREQ(copy.GetUtf8(), "text!");

    String moved(std::move(copy));
    EXPECT_STREQ(moved.GetUtf8(), "text!");
    original = moved;
    moved = String("other");
    EXPECT_STREQ(original.GetUtf8(), "text!");
    EXPECT_STREQ(moved.GetUtf8(), "other");
}

TEST(StringTest, ArraysOfStringsSurviveGrowthAndRemoval) {
    HybridArray<String, 2> array;
    for (unsigned i = 0; i < 100; ++i) array.Add(String("item ").AppendUInt(i));
    array.RemoveAt(0);
    array.RemoveAtFast(0);
    array.RemoveFirst(10);
    array.Add(array.At(0));
    String last = array.Pop();
    EXPECT_TRUE(last.Equals(array.At(0)));
    HybridArray<String, 2> copy(array);
    array.Clear();
    ASSERT_EQ(copy.GetCount(), 88u);
    EXPECT_STREQ(copy.At(0).GetUtf8(), "item 11");
    EXPECT_STREQ(copy.At(87).GetUtf8(), "item 98");
}

// A wiped secret leaves no copy behind in the string's storage, which it keeps for reuse.
TEST(StringTest, WipeZeroesTheCodePointsAndEveryCachedEncoding) {
    kx::common::String secret;
    ASSERT_TRUE(secret.SetUtf8("p\xc3\xa4ss", 5));
    const char* utf8 = secret.GetUtf8();
    const unsigned short* utf16 = secret.GetUtf16();
    secret.Wipe();
    EXPECT_EQ(secret.GetLength(), 0u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(utf8[i], 0) << i;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(utf16[i], 0) << i;
}

}  // namespace
