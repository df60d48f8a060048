#include "kx/halyxclient/ClientOptions.h"

#include <vector>

#include "kx/toolcommon/OptionTable.h"

namespace kx {
namespace halyxclient {

namespace {

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

// The sample game's options; they fill in `*options`. `*nameGiven` records --name, `*helpAsked`
// -h or --help.
toolcommon::OptionTable OptionsTable(ClientOptions* options, bool* nameGiven, bool* helpAsked) {
    toolcommon::OptionTable table({/*valueAfterEquals=*/false, /*refuseEmptyValues=*/false});
    table
        .Number({"--product"}, "N", "product for login and the first connection (default 1)",
                [options](std::uint32_t number, std::string*) {
                    options->productId = number;
                    return true;
                })
        .Number({"--sub"}, "N", "server: the sub-product (default 0)",
                [options](std::uint32_t number, std::string*) {
                    options->subProductId = number;
                    return true;
                })
        .Value({"--name"}, "NAME", "put: the savegame's display name",
               [options, nameGiven](const std::string& value, std::string*) {
                   options->name = value;
                   *nameGiven = true;
                   return true;
               })
        .Switch({"--no-overwrite"}, "put: keep a savegame already in the slot",
                [options] { options->overwrite = false; })
        .Switch({"--show-secrets"}, "login: the password and CD key in clear text",
                [options] { options->showSecrets = true; })
        .Number({"--timeout"}, "SEC", "how long to wait for an answer (default 10)",
                [options](std::uint32_t seconds, std::string*) {
                    options->timeout = std::chrono::seconds(seconds);
                    return true;
                })
        .Switch({"-h", "--help"}, "this text",
                [options, helpAsked] {
                    options->command = ClientOptions::Command::kHelp;
                    *helpAsked = true;
                })
        .EndsParsing();
    return table;
}

}  // namespace

bool ParseClientOptions(int argc, const char* const* argv, ClientOptions* options,
                        std::string* error) {
    std::vector<std::string> words;
    bool nameGiven = false;
    bool helpAsked = false;
    const auto word = [&words](const std::string& text, std::string*) {
        words.push_back(text);
        return true;
    };
    if (!OptionsTable(options, &nameGiven, &helpAsked).Parse(argc, argv, word, error)) {
        return false;
    }
    if (helpAsked) {
        return true;
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
            if (given == 1 && !toolcommon::ParseNumber(words[1], &options->productId)) {
                *error = "the product must be an unsigned 32-bit number";
                return false;
            }
            break;
        case ClientOptions::Command::kGet:
        case ClientOptions::Command::kPut:
        case ClientOptions::Command::kRemove:
            if (!toolcommon::ParseNumber(words[1], &options->productId) ||
                !toolcommon::ParseNumber(words[2], &options->slotId)) {
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
    ClientOptions options;
    bool nameGiven = false;
    bool helpAsked = false;
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

)" + OptionsTable(&options, &nameGiven, &helpAsked).Help() +
           R"(
Exit codes: 0 done, 1 bad arguments or local file, 2 launcher not running, 3 not found or
overwrite refused, 4 slot locked, 5 refused or no answer.
)";
}

}  // namespace halyxclient
}  // namespace kx
