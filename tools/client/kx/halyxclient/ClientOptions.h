#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace kx {
namespace halyxclient {

// What the command line asks for.
struct ClientOptions {
    enum class Command { kHelp, kLogin, kList, kGet, kPut, kRemove, kServer, kLoc };

    Command command = Command::kHelp;
    std::uint32_t productId = 1;
    std::uint32_t subProductId = 0;
    std::uint32_t slotId = 0;
    std::string file;
    std::string name;          // put: display name
    bool overwrite = true;     // put: replace a savegame already in the slot
    std::string language;      // loc
    std::string key;           // loc
    bool showSecrets = false;  // login: print the password and CD key in clear text
    std::chrono::milliseconds timeout{10000};
};

// Parses the arguments after the program name. Returns false with a message in `*error`.
bool ParseClientOptions(int argc, const char* const* argv, ClientOptions* options,
                        std::string* error);

// The --help text.
std::string ClientUsageText();

}  // namespace halyxclient
}  // namespace kx
