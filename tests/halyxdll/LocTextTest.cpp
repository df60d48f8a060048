// Localized texts through the facade and the plain export: the session state keeps one cache
// of languages for its lifetime.
#include <gtest/gtest.h>

#include <string>

#include "InstallDirSetting.h"
#include "kx/common/String.h"
#include "kx/testing/TempDirectory.h"
#include "velhalyxapi_r2/HalyxSession.h"
#include "velhalyxapi_r2/KxHalyxdll.h"

namespace {

using kx::common::String;
using kx::halyxdll::HalyxSession;

std::string Utf8(const unsigned short* text) {
    EXPECT_NE(text, nullptr);
    return String(text).GetUtf8();
}

class LocTextTest : public ::testing::Test {
protected:
    LocTextTest() { setting_.SetValue(install_.Path().string()); }

    void WriteLanguage(const std::string& code, const std::string& bytes) {
        install_.WriteFile("data/loc/" + code + "_loc.txt", bytes);
    }

    kx::testing::InstallDirSetting setting_;
    kx::testing::TempDirectory install_;
};

TEST_F(LocTextTest, FacadeAndExportReadTheLauncherFiles) {
    WriteLanguage("en", "\xEF\xBB\xBFTitle\tHello\r\nQuit\t Quit game \r\n");
    HalyxSession session;
    EXPECT_EQ(Utf8(session.GetLocText(String("Title").GetUtf16(), "en")), "Hello");
    EXPECT_EQ(Utf8(KxHalyxdllGetLocText(&session, String("Quit").GetUtf16(), "en")), "Quit game");
    EXPECT_EQ(Utf8(KxHalyxdllGetLocText(&session, String("Missing").GetUtf16(), "en")), "");
    EXPECT_EQ(Utf8(KxHalyxdllGetLocText(&session, nullptr, "en")), "");
    EXPECT_EQ(Utf8(KxHalyxdllGetLocText(&session, String("Title").GetUtf16(), nullptr)), "");
}

TEST_F(LocTextTest, LanguagesAreCachedForTheLifetimeOfTheSessionState) {
    {
        HalyxSession session;
        EXPECT_EQ(Utf8(session.GetLocText(String("Title").GetUtf16(), "de")), "");
        WriteLanguage("de", "Title\tHallo");
        EXPECT_EQ(Utf8(session.GetLocText(String("Title").GetUtf16(), "de")), "");
    }
    // Destroying the facade destroyed the session state and its cache.
    HalyxSession session;
    EXPECT_EQ(Utf8(session.GetLocText(String("Title").GetUtf16(), "de")), "Hallo");
}

}  // namespace
