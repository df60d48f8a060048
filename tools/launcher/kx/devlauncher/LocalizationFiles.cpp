#include "kx/devlauncher/LocalizationFiles.h"

#include "kx/devlauncher/AtomicWrite.h"

namespace kx {
namespace devlauncher {

namespace fs = std::filesystem;

namespace {

struct Text {
    const char* key;
    const char* english;
    const char* japanese;
};

// UTF-8 literals spelled as bytes, so the source file's encoding cannot change them.
const Text kTexts[] = {
    {"Title", "Velmora Launcher",
     "\xE3\x83\xB4\xE3\x82\xA7\xE3\x83\xAB\xE3\x83\xA2\xE3\x83\xA9 "
     "\xE3\x83\xA9\xE3\x83\xB3\xE3\x83\x81\xE3\x83\xA3\xE3\x83\xBC"},  // ヴェルモラ ランチャー
    {"Greeting", "Welcome back",
     "\xE3\x81\x8A\xE3\x81\x8B\xE3\x81\x88\xE3\x82\x8A\xE3\x81\xAA\xE3\x81\x95\xE3\x81\x84"},
    {"SaveDone", "Savegame stored",
     "\xE3\x82\xBB\xE3\x83\xBC\xE3\x83\x96\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF\xE3\x82\x92"
     "\xE4\xBF\x9D\xE5\xAD\x98\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F"},
    {"LoadDone", "Savegame loaded",
     "\xE3\x82\xBB\xE3\x83\xBC\xE3\x83\x96\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF\xE3\x82\x92"
     "\xE8\xAA\xAD\xE3\x81\xBF\xE8\xBE\xBC\xE3\x81\xBF\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F"},
    {"LauncherMissing", "The launcher is not running",
     "\xE3\x83\xA9\xE3\x83\xB3\xE3\x83\x81\xE3\x83\xA3\xE3\x83\xBC\xE3\x81\x8C"
     "\xE8\xB5\xB7\xE5\x8B\x95\xE3\x81\x97\xE3\x81\xA6\xE3\x81\x84\xE3\x81\xBE"
     "\xE3\x81\x9B\xE3\x82\x93"},
};

}  // namespace

const std::vector<std::string>& InstalledLanguages() {
    static const std::vector<std::string> languages = {"en", "ja"};
    return languages;
}

std::string LocalizationFileText(const std::string& language) {
    std::string text;
    for (const Text& entry : kTexts) {
        text += entry.key;
        text += '\t';
        text += language == "ja" ? entry.japanese : entry.english;
        text += "\r\n";
    }
    return text;
}

fs::path LocalizationFilePath(const fs::path& installDir, const std::string& language) {
    return installDir / "data" / "loc" / (language + "_loc.txt");
}

bool WriteLocalizationFiles(const fs::path& installDir, std::string* error) {
    for (const std::string& language : InstalledLanguages()) {
        const fs::path file = LocalizationFilePath(installDir, language);
        std::error_code ec;
        if (fs::exists(file, ec)) {
            continue;
        }
        if (!WriteFileAtomically(file, LocalizationFileText(language))) {
            *error = "cannot write " + file.u8string();
            return false;
        }
    }
    return true;
}

}  // namespace devlauncher
}  // namespace kx
