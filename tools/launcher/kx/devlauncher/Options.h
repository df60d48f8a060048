#pragma once

#include <filesystem>
#include <string>

#include "kx/devlauncher/Launcher.h"

namespace kx {
namespace devlauncher {

// Process exit codes of halyx_devlauncher.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;          // bad command line or configuration file
constexpr int kExitFailed = 2;         // could not start or could not register
constexpr int kExitAlreadyServed = 3;  // another launcher serves the pipe name

// What the command line asks for.
struct Options {
    enum class Command { kServe, kRegister, kUnregister, kHelp };

    Command command = Command::kServe;
    LauncherSettings settings;         // dataDir and installDir always set after parsing
    std::filesystem::path configFile;  // empty: built-in login details and products
    bool verbose = false;
};

// Parses the arguments after the program name (argv[1] .. argv[argc - 1]). Options take their
// value as the next argument or after '='. Returns false with a message in `*error` on anything
// it does not understand.
bool ParseOptions(int argc, const char* const* argv, Options* options, std::string* error);

// Reads the configuration file at `path` into `*config` (see ParseLauncherConfig). Returns false
// with a message in `*error` when it cannot be read or parsed.
bool LoadConfigFile(const std::filesystem::path& path, LauncherConfig* config, std::string* error);

// The --help text.
std::string UsageText();

}  // namespace devlauncher
}  // namespace kx
