#include "kx/devlauncher/Options.h"

#include <fstream>
#include <iterator>
#include <limits>

namespace kx {
namespace devlauncher {

namespace {

bool ParseNumber(const std::string& text, std::uint32_t* value) {
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const unsigned long long number = std::stoull(text);
    if (number > std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }
    *value = static_cast<std::uint32_t>(number);
    return true;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, Options* options, std::string* error) {
    LauncherSettings& settings = options->settings;
    bool installDirGiven = false;
    settings.dataDir = "halyx-devlauncher-data";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        const std::size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.erase(equals);
            hasValue = true;
        }
        // Takes the option's value from after '=' or from the next argument.
        auto takeValue = [&]() {
            if (!hasValue) {
                if (i + 1 >= argc) {
                    *error = arg + " needs a value";
                    return false;
                }
                value = argv[++i];
                hasValue = true;
            }
            return true;
        };
        auto takeNumber = [&](std::uint32_t* number) {
            if (!takeValue()) {
                return false;
            }
            if (!ParseNumber(value, number)) {
                *error = arg + " needs an unsigned 32-bit number, not '" + value + "'";
                return false;
            }
            return true;
        };
        // Refuses a value given to a switch.
        auto noValue = [&]() {
            if (hasValue) {
                *error = arg + " takes no value";
                return false;
            }
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            options->command = Options::Command::kHelp;
        } else if (arg == "--verbose" || arg == "-v") {
            if (!noValue()) {
                return false;
            }
            options->verbose = true;
        } else if (arg == "register") {
            options->command = Options::Command::kRegister;
        } else if (arg == "unregister") {
            options->command = Options::Command::kUnregister;
        } else if (arg == "--data-dir") {
            if (!takeValue()) {
                return false;
            }
            settings.dataDir = value;
        } else if (arg == "--install-dir") {
            if (!takeValue()) {
                return false;
            }
            settings.installDir = value;
            installDirGiven = true;
        } else if (arg == "--config") {
            if (!takeValue()) {
                return false;
            }
            options->configFile = value;
        } else if (arg == "--pipe") {
            if (!takeValue()) {
                return false;
            }
            if (value.empty() || value.find_first_of("/\\") != std::string::npos) {
                *error = "--pipe needs a name without slashes";
                return false;
            }
            settings.pipeName = value;
        } else if (arg == "--part-size") {
            if (!takeNumber(&settings.partSize)) {
                return false;
            }
            if (settings.partSize == 0 || settings.partSize > kMaxPartSize) {
                *error = "--part-size must be between 1 and " + std::to_string(kMaxPartSize);
                return false;
            }
        } else if (arg == "--max-connections" || arg == "--max-writers") {
            std::uint32_t& limit =
                arg == "--max-connections" ? settings.maxConnections : settings.maxWritersPerClient;
            if (!takeNumber(&limit)) {
                return false;
            }
            if (limit == 0) {
                *error = arg + " must be at least 1";
                return false;
            }
        } else if (arg == "--fault-byte-writes") {
            if (!noValue()) {
                return false;
            }
            settings.faults.byteWrites = true;
        } else if (arg == "--fault-delay-ms") {
            if (!takeNumber(&settings.faults.delayMs)) {
                return false;
            }
        } else if (arg == "--fault-close-after") {
            std::uint32_t count = 0;
            if (!takeNumber(&count)) {
                return false;
            }
            settings.faults.closeAfter = count;
        } else if (arg == "--fault-malformed") {
            if (!takeValue()) {
                return false;
            }
            if (!ParseMalformedAnswer(value, &settings.faults.malformed)) {
                *error = "--fault-malformed takes zero-length, garbage, no-slot or read-outside";
                return false;
            }
        } else if (arg == "--fault-after") {
            if (!takeNumber(&settings.faults.malformedAfter)) {
                return false;
            }
        } else {
            *error = "unknown argument '" + arg + "'";
            return false;
        }
        if (hasValue && value.empty()) {
            *error = arg + " needs a value";
            return false;
        }
    }
    if (!installDirGiven) {
        settings.installDir = settings.dataDir / "install";
    }
    return true;
}

bool LoadConfigFile(const std::filesystem::path& path, LauncherConfig* config, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot read the configuration file " + path.u8string();
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string problem;
    if (!ParseLauncherConfig(text, config, &problem)) {
        *error = path.u8string() + ", " + problem;
        return false;
    }
    return true;
}

std::string UsageText() {
    return R"(usage: halyx_devlauncher [register | unregister] [options]

Serves the launcher pipe for games on this machine until stopped (Ctrl+C), keeping savegames
on disk. "register" writes the localization files and records the installation directory as
InstallDir (the registry on Windows, $XDG_CONFIG_HOME/Velmora/Launcher/InstallDir elsewhere);
"unregister" removes that record.

  --data-dir DIR        savegames, one directory per product (default ./halyx-devlauncher-data)
  --install-dir DIR     installation directory with data/loc/*_loc.txt (default DATA-DIR/install)
  --config FILE         login details and products, "key = value" lines (UTF-8):
                        username, password, cdkey, products (ids for server pipes)
  --pipe NAME           pipe name (default halyx_ipc_pipe); on POSIX the socket lives in
                        $XDG_RUNTIME_DIR, else /tmp/halyx-<uid>
  --part-size BYTES     largest read answer part (default 65536)
  --max-connections N   connections served at once; more are closed at once (default 64)
  --max-writers N       savegames one connection may write at once (default 16)
  -v, --verbose         one log line per request and per answer
  -h, --help            this text

Fault switches, for testing clients:
  --fault-byte-writes          write every answer one byte per write
  --fault-delay-ms MS          wait before every answer
  --fault-close-after N        close each connection after its N-th answer (0: at once)
  --fault-malformed KIND       zero-length | garbage | no-slot | read-outside
  --fault-after N              send N intact answers per connection before malformed ones

Exit codes: 0 stopped normally, 1 bad arguments or configuration, 2 could not start,
3 the pipe name is already served by another launcher.
)";
}

}  // namespace devlauncher
}  // namespace kx
