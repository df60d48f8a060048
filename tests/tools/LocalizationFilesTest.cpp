#include "kx/devlauncher/LocalizationFiles.h"

#include <gtest/gtest.h>

#include "kx/testing/TempDirectory.h"
#include "kx/testing/WholeFile.h"

namespace kx {
namespace devlauncher {
namespace {

using kx::testing::ReadWholeFile;
using kx::testing::TempDirectory;
using kx::testing::WriteWholeFile;

// Splits at CR LF the way games read the files; a lone LF stays inside its line.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "the last line must end with CR LF too";
    return lines;
}

TEST(LocalizationFilesTest, EnglishAndANonLatinLanguageWithTheSameKeys) {
    ASSERT_EQ(InstalledLanguages(), (std::vector<std::string>{"en", "ja"}));
    const auto english = Lines(LocalizationFileText("en"));
    const auto japanese = Lines(LocalizationFileText("ja"));
    ASSERT_EQ(english.size(), japanese.size());
    ASSERT_FALSE(english.empty());
    for (std::size_t i = 0; i < english.size(); ++i) {
        for (const std::string* line : {&english[i], &japanese[i]}) {
            EXPECT_EQ(std::count(line->begin(), line->end(), '\t'), 1) << *line;
            EXPECT_EQ(line->find('\n'), std::string::npos);
        }
        EXPECT_EQ(english[i].substr(0, english[i].find('\t')),
                  japanese[i].substr(0, japanese[i].find('\t')));
    }
    EXPECT_NE(std::find(english.begin(), english.end(), "Title\tVelmora Launcher"), english.end());
    // Japanese values are in three-byte UTF-8 sequences, not Latin letters.
    const std::string title = japanese[0].substr(japanese[0].find('\t') + 1);
    EXPECT_EQ(static_cast<unsigned char>(title[0]), 0xE3u);
    EXPECT_NE(LocalizationFileText("ja").compare(0, 3, "\xEF\xBB\xBF"), 0);  // no BOM
}

TEST(LocalizationFilesTest, WritesMissingFilesAndKeepsEditedOnes) {
    TempDirectory dir;
    const auto english = LocalizationFilePath(dir.Path(), "en");
    EXPECT_EQ(english, dir.Path() / "data" / "loc" / "en_loc.txt");
    std::string error;
    ASSERT_TRUE(WriteLocalizationFiles(dir.Path(), &error)) << error;
    EXPECT_EQ(ReadWholeFile(english), LocalizationFileText("en"));
    EXPECT_EQ(ReadWholeFile(LocalizationFilePath(dir.Path(), "ja")), LocalizationFileText("ja"));

    WriteWholeFile(english, "Title\tEdited\r\n");
    ASSERT_TRUE(WriteLocalizationFiles(dir.Path(), &error));
    EXPECT_EQ(ReadWholeFile(english), "Title\tEdited\r\n");
}

}  // namespace
}  // namespace devlauncher
}  // namespace kx
