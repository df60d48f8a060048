#include "kx/common/Localization.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "kx/testing/TempDirectory.h"

namespace {

using kx::common::Localization;
using kx::common::String;
using kx::testing::TempDirectory;

std::string Lookup(Localization& localization, const char* key) {
    return localization.Lookup(String(key)).GetUtf8();
}

Localization* FromText(const std::string& text) {
    Localization* localization = new Localization();
    localization->AddEntries(String(text));
    return localization;
}

TEST(LocalizationTest, LinesEndAtCrLfAndTheLastNeedsNoEnd) {
    std::unique_ptr<Localization> texts(FromText("a\tone\r\nb\ttwo\r\nc\tthree"));
    EXPECT_EQ(Lookup(*texts, "a"), "one");
    EXPECT_EQ(Lookup(*texts, "b"), "two");
    EXPECT_EQ(Lookup(*texts, "c"), "three");
    EXPECT_FALSE(texts->IsUnusable());
}

TEST(LocalizationTest, LoneLineFeedOrCarriageReturnIsAnOrdinaryCharacter) {
    // One line with two tabs: no entry at all.
    std::unique_ptr<Localization> lfOnly(FromText("a\tone\nb\ttwo\n"));
    EXPECT_TRUE(lfOnly->IsUnusable());

    // One tab: the rest of the line, line feed included, is the value (trimmed at its end).
    std::unique_ptr<Localization> single(FromText("a\tone\nb two\rc\r\n"));
    EXPECT_EQ(Lookup(*single, "a"), "one\nb two\rc");
}

TEST(LocalizationTest, OnlyLinesWithExactlyOneTabAreEntries) {
    std::unique_ptr<Localization> texts(
        FromText("key\ta\tb\r\nnotab\r\n\r\nempty\t\r\n\tnokey\r\n"));
    EXPECT_EQ(Lookup(*texts, "key"), "");
    EXPECT_EQ(Lookup(*texts, "key\ta"), "");
    EXPECT_EQ(Lookup(*texts, "notab"), "");
    EXPECT_EQ(Lookup(*texts, "empty"), "");
    EXPECT_EQ(Lookup(*texts, ""), "nokey");
    EXPECT_FALSE(texts->IsUnusable());

    // "empty" is present with an empty value: a lookup finds it rather than falling through.
    std::unique_ptr<Localization> onlyEmpty(FromText("empty\t\r\n"));
    EXPECT_FALSE(onlyEmpty->IsUnusable());
}

TEST(LocalizationTest, KeyAndValueAreTrimmed) {
    std::unique_ptr<Localization> texts(
        FromText(" Title \t Hello \r\n\xE3\x80\x80wide\xC2\xA0\t\xE2\x80\x83x y\xE2\x80\xAF"));
    EXPECT_EQ(Lookup(*texts, "Title"), "Hello");
    EXPECT_EQ(Lookup(*texts, " Title "), "");
    EXPECT_EQ(Lookup(*texts, "wide"), "x y");
}

TEST(LocalizationTest, LaterDuplicateWinsAndKeysAreExact) {
    std::unique_ptr<Localization> texts(FromText("k\tfirst\r\nk\tsecond\r\nK\tupper"));
    EXPECT_EQ(Lookup(*texts, "k"), "second");
    EXPECT_EQ(Lookup(*texts, "K"), "upper");
    EXPECT_EQ(Lookup(*texts, "missing"), "");
}

TEST(LocalizationTest, LoadsFileAndSkipsByteOrderMark) {
    TempDirectory directory;
    const std::string plain = directory.WriteFile("plain.txt", "a\t\xC3\xA9t\xC3\xA9\r\nb\tB");
    const std::string marked = directory.WriteFile("marked.txt",
                                                   "\xEF\xBB\xBF"
                                                   "a\tA\r\nb\tB");

    Localization fromPlain;
    EXPECT_TRUE(fromPlain.Load(plain.c_str()));
    EXPECT_EQ(Lookup(fromPlain, "a"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(Lookup(fromPlain, "b"), "B");

    Localization fromMarked;
    EXPECT_TRUE(fromMarked.Load(marked.c_str()));
    EXPECT_EQ(Lookup(fromMarked, "a"), "A");
}

TEST(LocalizationTest, UnreadableEmptyOrInvalidFilesGiveNoEntries) {
    TempDirectory directory;
    Localization missing;
    EXPECT_FALSE(missing.Load((directory.Path() / "missing.txt").string().c_str()));
    EXPECT_TRUE(missing.IsUnusable());

    Localization empty;
    EXPECT_TRUE(empty.Load(directory.WriteFile("empty.txt", "").c_str()));
    EXPECT_TRUE(empty.IsUnusable());

    Localization onlyMark;
    EXPECT_TRUE(onlyMark.Load(directory.WriteFile("mark.txt", "\xEF\xBB\xBF").c_str()));
    EXPECT_TRUE(onlyMark.IsUnusable());

    // One bad byte anywhere spoils the whole file.
    Localization invalid;
    EXPECT_TRUE(invalid.Load(directory.WriteFile("bad.txt", "a\tA\r\nb\t\xC0\x80").c_str()));
    EXPECT_TRUE(invalid.IsUnusable());
    EXPECT_EQ(Lookup(invalid, "a"), "");

    // A directory opens on some platforms but is never a text file.
    Localization folder;
    folder.Load(directory.Path().string().c_str());
    EXPECT_TRUE(folder.IsUnusable());
}

}  // namespace
