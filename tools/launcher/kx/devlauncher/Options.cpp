#include "kx/devlauncher/Options.h"

#include "kx/toolcommon/OpenFile.h"
#include "kx/toolcommon/OptionTable.h"

namespace kx {
namespace devlauncher {

namespace {

// The launcher's options; they fill in `*options`. `*installDirGiven` records --install-dir.
toolcommon::OptionTable OptionsTable(Options* options, bool* installDirGiven) {
    LauncherSettings& settings = options->settings;
    FaultOptions& faults = settings.faults;
    // A limit of 0 would refuse every connection or every writer.
    auto limit = [](const char* name, std::uint32_t* target) {
        return [name, target](std::uint32_t number, std::string* error) {
            if (number == 0) {
                *error = std::string(name) + " must be at least 1";
                return false;
            }
            *target = number;
            return true;
        };
    };
    auto store = [](std::uint32_t* target) {
        return [target](std::uint32_t number, std::string*) {
            *target = number;
            return true;
        };
    };
    toolcommon::OptionTable table({/*valueAfterEquals=*/true, /*refuseEmptyValues=*/true});
    table
        .Value({"--data-dir"}, "DIR",
               "savegames, one directory per product (default ./halyx-devlauncher-data)",
               [&settings](const std::string& value, std::string*) {
                   settings.dataDir = value;
                   return true;
               })
        .Value({"--install-dir"}, "DIR",
               "installation directory with data/loc/*_loc.txt (default DATA-DIR/install)",
               [&settings, installDirGiven](const std::string& value, std::string*) {
                   settings.installDir = value;
                   *installDirGiven = true;
                   return true;
               })
        .Value({"--config"}, "FILE",
               "login details and products, \"key = value\" lines (UTF-8):\n"
               "username, password, cdkey, products (ids for server pipes)",
               [options](const std::string& value, std::string*) {
                   options->configFile = value;
                   return true;
               })
        .Value({"--pipe"}, "NAME",
               "pipe name (default halyx_ipc_pipe); on POSIX the socket lives in\n"
               "$XDG_RUNTIME_DIR, else /tmp/halyx-<uid>",
               [&settings](const std::string& value, std::string* error) {
                   if (value.find_first_of("/\\") != std::string::npos) {
                       *error = "--pipe needs a name without slashes";
                       return false;
                   }
                   settings.pipeName = value;
                   return true;
               })
        .Number({"--part-size"}, "BYTES", "largest read answer part (default 65536)",
                [&settings](std::uint32_t number, std::string* error) {
                    if (number == 0 || number > kMaxPartSize) {
                        *error =
                            "--part-size must be between 1 and " + std::to_string(kMaxPartSize);
                        return false;
                    }
                    settings.partSize = number;
                    return true;
                })
        .Number({"--max-connections"}, "N",
                "connections served at once; more are closed at once (default 64)",
                limit("--max-connections", &settings.maxConnections))
        .Number({"--max-writers"}, "N", "savegames one connection may write at once (default 16)",
                limit("--max-writers", &settings.maxWritersPerClient))
        .Switch({"-v", "--verbose"}, "one log line per request and per answer",
                [options] { options->verbose = true; })
        .Switch({"-h", "--help"}, "this text",
                [options] { options->command = Options::Command::kHelp; })
        .Heading("Fault switches, for testing clients:")
        .Switch({"--fault-byte-writes"}, "write every answer one byte per write",
                [&faults] { faults.byteWrites = true; })
        .Number({"--fault-delay-ms"}, "MS", "wait before every answer", store(&faults.delayMs))
        .Number({"--fault-close-after"}, "N",
                "close each connection after its N-th answer (0: at once)",
                [&faults](std::uint32_t number, std::string*) {
                    faults.closeAfter = number;
                    return true;
                })
        .Value({"--fault-malformed"}, "KIND", "zero-length | garbage | no-slot | read-outside",
               [&faults](const std::string& value, std::string* error) {
                   if (!ParseMalformedAnswer(value, &faults.malformed)) {
                       *error =
                           "--fault-malformed takes zero-length, garbage, no-slot or read-outside";
                       return false;
                   }
                   return true;
               })
        .Number({"--fault-after"}, "N",
                "send N intact answers per connection before malformed ones",
                store(&faults.malformedAfter));
    return table;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, Options* options, std::string* error) {
    bool installDirGiven = false;
    options->settings.dataDir = "halyx-devlauncher-data";
    const auto command = [options](const std::string& word, std::string* error) {
        if (word == "register") {
            options->command = Options::Command::kRegister;
        } else if (word == "unregister") {
            options->command = Options::Command::kUnregister;
        } else {
            *error = "unknown argument '" + word + "'";
            return false;
        }
        return true;
    };
    if (!OptionsTable(options, &installDirGiven).Parse(argc, argv, command, error)) {
        return false;
    }
    if (!installDirGiven) {
        options->settings.installDir = options->settings.dataDir / "install";
    }
    return true;
}

bool LoadConfigFile(const std::filesystem::path& path, LauncherConfig* config, std::string* error) {
    const toolcommon::File in = toolcommon::OpenFile(path, toolcommon::FileAccess::kRead);
    std::string text;
    if (!in || !toolcommon::ReadRest(in.get(), &text)) {
        *error = "cannot read the configuration file " + path.u8string();
        return false;
    }
    std::string problem;
    if (!ParseLauncherConfig(text, config, &problem)) {
        *error = path.u8string() + ", " + problem;
        return false;
    }
    return true;
}

std::string UsageText() {
    Options options;
    bool installDirGiven = false;
    return R"(usage: halyx_devlauncher [register | unregister] [options]

Serves the launcher pipe for games on this machine until stopped (Ctrl+C), keeping savegames
on disk. "register" writes the localization files and records the installation directory as
InstallDir (the registry on Windows, $XDG_CONFIG_HOME/Velmora/Launcher/InstallDir elsewhere);
"unregister" removes that record.

)" + OptionsTable(&options, &installDirGiven).Help() +
           R"(
Exit codes: 0 stopped normally, 1 bad arguments or configuration, 2 could not start,
3 the pipe name is already served by another launcher.
)";
}

}  // namespace devlauncher
}  // namespace kx
