#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kx {
namespace devlauncher {

// Language codes of the texts the installation carries: English and Japanese.
const std::vector<std::string>& InstalledLanguages();

// The content of the text file of `language` (one of InstalledLanguages): UTF-8 without a
// byte-order mark, one "key TAB value" entry per line, every line ended by CR LF.
std::string LocalizationFileText(const std::string& language);

// The file of `language` below `installDir`: data/loc/<language>_loc.txt.
std::filesystem::path LocalizationFilePath(const std::filesystem::path& installDir,
                                           const std::string& language);

// Writes the file of every installed language that is missing below `installDir` (files already
// there are kept, so they may be edited). Returns false with a reason in `*error`.
bool WriteLocalizationFiles(const std::filesystem::path& installDir, std::string* error);

}  // namespace devlauncher
}  // namespace kx
