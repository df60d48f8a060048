#include "kx/halyxclient/ClientOptions.h"

#include <limits>
#include <vector>

namespace kx {
namespace halyxclient {

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

struct CommandShape {
    const char* name;
    ClientOptions::Command command;
    std::size_t least;  // positional arguments
    std::size_t most;
};

const CommandShape kCommands[] = {
    {"login", ClientOptions::Command::kLogin, 0, 0},
    {"list", ClientOptions::Command::kList, 0, 1},
    {"get", ClientOptions::Command::kGet, 3, 3},
    {"put", ClientOptions::Command::kPut, 3, 3},
    {"rm", ClientOptions::Command::kRemove, 2, 2},
    {"server", ClientOptions::Command::kServer, 0, 1},
    {"loc", ClientOptions::Command::kLoc, 2, 2},
};

}  // namespace

bool ParseClientOptions(int argc, const char* const* argv, ClientOptions* options,
                        std::string* error) {
    std::vector<std::string> words;
    bool nameGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc) {
                *error = arg + " needs a value";
                return false;
            }
            *out = argv[++i];
            return true;
        };
        auto number = [&](std::uint32_t* out) {
            std::string text;
            if (!value(&text)) {
                return false;
            }
            if (!ParseNumber(text, out)) {
                *error = arg + " needs an unsigned 32-bit number, not '" + text + "'";
                return false;
            }
            return true;
        };
        std::uint32_t seconds = 0;
        if (arg == "-h" || arg == "--help") {
            options->command = ClientOptions::Command::kHelp;
            return true;
        } else if (arg == "--name") {
            if (!value(&options->name)) {
                return false;
            }
            nameGiven = true;
        } else if (arg == "--show-secrets") {
            options->showSecrets = true;
        } else if (arg == "--no-overwrite") {
            options->overwrite = false;
        } else if (arg == "--product") {
            if (!number(&options->productId)) {
                return false;
            }
        } else if (arg == "--sub") {
            if (!number(&options->subProductId)) {
                return false;
            }
        } else if (arg == "--timeout") {
            if (!number(&seconds)) {
                return false;
            }
            options->timeout = std::chrono::seconds(seconds);
        } else if (arg.size() > 1 && arg[0] == '-') {
            *error = "unknown option '" + arg + "'";
            return false;
        } else {
            words.push_back(arg);
        }
    }
    if (words.empty()) {
        *error = "no command given";
        return false;
    }
    const CommandShape* shape = nullptr;
    for (const CommandShape& candidate : kCommands) {
        if (words[0] == candidate.name) {
            shape = &candidate;
        }
    }
    if (shape == nullptr) {
        *error = "unknown command '" + words[0] + "'";
        return false;
    }
    const std::size_t given = words.size() - 1;
    if (given < shape->least || given > shape->most) {
        *error = "wrong number of arguments for " + words[0];
        return false;
    }
    options->command = shape->command;
    switch (shape->command) {
        case ClientOptions::Command::kList:
        case ClientOptions::Command::kServer:
            if (given == 1 && !ParseNumber(words[1], &options->productId)) {
                *error = "the product must be an unsigned 32-bit number";
                return false;
            }
            break;
        case ClientOptions::Command::kGet:
        case ClientOptions::Command::kPut:
        case ClientOptions::Command::kRemove:
            if (!ParseNumber(words[1], &options->productId) ||
                !ParseNumber(words[2], &options->slotId)) {
                *error = "product and slot must be unsigned 32-bit numbers";
                return false;
            }
            if (given == 3) {
                options->file = words[3];
            }
            break;
        case ClientOptions::Command::kLoc:
            options->language = words[1];
            options->key = words[2];
            break;
        default:
            break;
    }
    if (options->command == ClientOptions::Command::kPut && !nameGiven) {
        *error = "put needs --name NAME";
        return false;
    }
    return true;
}

std::string ClientUsageText() {
    return R"(usage: halyx_client [options] COMMAND [arguments]

A sample game: talks to the launcher through the velhalyxapi_r2 library.

  login [--show-secrets]                the user name, and the password and CD key masked
                                        (in clear text with --show-secrets)
  list [PRODUCT]                        the product's savegames
  get PRODUCT SLOT FILE                 read a savegame into FILE
  put PRODUCT SLOT FILE --name NAME     store FILE as a savegame (--no-overwrite: keep an
                                        existing one)
  rm PRODUCT SLOT                       remove a savegame
  server [PRODUCT] [--sub N]            open the product's server pipe and send a line through it
  loc LANGUAGE KEY                      a localized text, e.g. "loc ja Title"

  --product N     product for login and the first connection (default 1)
  --timeout SEC   how long to wait for an answer (default 10)

Exit codes: 0 done, 1 bad arguments or local file, 2 launcher not running, 3 not found or
overwrite refused, 4 slot locked, 5 refused or no answer.
)";
}

}  // namespace halyxclient
}  // namespace kx
