#include "kx/common/LocalizationCache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "InstallDirSetting.h"
#include "kx/common/String.h"
#include "kx/testing/TempDirectory.h"

namespace {

using kx::common::LocalizationCache;
using kx::common::String;
using kx::testing::InstallDirSetting;
using kx::testing::TempDirectory;

// A launcher installation in a temporary directory, named by the install-dir setting.
class LocalizationCacheTest : public ::testing::Test {
protected:
    LocalizationCacheTest() { setting_.SetValue(install_.Path().string()); }

    void WriteLanguage(const std::string& code, const std::string& bytes) {
        install_.WriteFile("data/loc/" + code + "_loc.txt", bytes);
    }

    // The text of `key` in `language` as UTF-8.
    std::string Text(const char* key, const char* language) {
        const String wideKey(key);
        const unsigned short* text =
            cache_.GetLocText(key != nullptr ? wideKey.GetUtf16() : nullptr, language);
        EXPECT_NE(text, nullptr);
        return String(text).GetUtf8();
    }

    InstallDirSetting setting_;
    TempDirectory install_;
    LocalizationCache cache_;
};

TEST_F(LocalizationCacheTest, FindsTextsBelowTheLauncherDirectory) {
    WriteLanguage("en", "Title\tHello\r\nQuit\tQuit game");
    WriteLanguage("de", "Title\tHallo");
    EXPECT_EQ(Text("Title", "en"), "Hello");
    EXPECT_EQ(Text("Quit", "en"), "Quit game");
    EXPECT_EQ(Text("Title", "de"), "Hallo");
    EXPECT_EQ(Text("Quit", "de"), "");
}

TEST_F(LocalizationCacheTest, ResultIsUtf16AndStaysUntilTheNextCall) {
    WriteLanguage("fr", "smile\t\xF0\x9F\x98\x80\r\nother\tx");
    const unsigned short* smile = cache_.GetLocText(String("smile").GetUtf16(), "fr");
    ASSERT_NE(smile, nullptr);
    EXPECT_EQ(smile[0], 0xD83D);
    EXPECT_EQ(smile[1], 0xDE00);
    EXPECT_EQ(smile[2], 0);
}

TEST_F(LocalizationCacheTest, FileIsReadOnceEvenWhenMissing) {
    EXPECT_EQ(Text("Title", "en"), "");
    WriteLanguage("en", "Title\tHello");
    EXPECT_EQ(Text("Title", "en"), "");

    WriteLanguage("it", "Title\tCiao");
    EXPECT_EQ(Text("Title", "it"), "Ciao");
    WriteLanguage("it", "Title\tChanged");
    EXPECT_EQ(Text("Title", "it"), "Ciao");
}

TEST_F(LocalizationCacheTest, LanguageCodesAreTakenAsGiven) {
    WriteLanguage("en", "Title\tfirst");
    EXPECT_EQ(Text("Title", "en"), "first");
    // On a file system that ignores case this replaces en_loc.txt too; either way EN is a
    // language of its own that has not been read yet, while en keeps what it read.
    WriteLanguage("EN", "Title\tsecond");
    EXPECT_EQ(Text("Title", "EN"), "second");
    EXPECT_EQ(Text("Title", "en"), "first");
}

TEST_F(LocalizationCacheTest, NullKeyIsTheEmptyKey) {
    WriteLanguage("en", "\tfor the empty key");
    EXPECT_EQ(Text(nullptr, "en"), "for the empty key");
    EXPECT_EQ(Text("", "en"), "for the empty key");
}

TEST_F(LocalizationCacheTest, OnlyWellFormedLanguageCodesReachTheFileSystem) {
    WriteLanguage("", "Title\tno language");
    EXPECT_EQ(Text("Title", nullptr), "");
    EXPECT_EQ(Text("Title", ""), "");

    // A code that climbs out of data/loc/ finds nothing, although the file it names exists.
    install_.WriteFile("data/de_loc.txt", "Title\toutside");
    EXPECT_EQ(Text("Title", "../de"), "");
    EXPECT_EQ(Text("Title", "..\\de"), "");
    WriteLanguage("e n", "Title\tspace");
    EXPECT_EQ(Text("Title", "e n"), "");

    const std::string longest = "zh-Hant_TW-12345";
    ASSERT_EQ(longest.size(), 16u);
    WriteLanguage(longest, "Title\tlongest");
    EXPECT_EQ(Text("Title", longest.c_str()), "longest");
    WriteLanguage(longest + "6", "Title\ttoo long");
    EXPECT_EQ(Text("Title", (longest + "6").c_str()), "");
}

TEST(LocalizationCacheNoLauncherTest, MissingKeyMeansCurrentDirectory) {
    InstallDirSetting setting;
    TempDirectory directory;
    directory.WriteFile("data/loc/xx_loc.txt", "Title\tlocal");
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(directory.Path());
    LocalizationCache cache;
    const unsigned short* text = cache.GetLocText(String("Title").GetUtf16(), "xx");
    std::filesystem::current_path(previous);
    EXPECT_STREQ(String(text).GetUtf8(), "local");
}

}  // namespace
