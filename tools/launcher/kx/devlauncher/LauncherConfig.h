#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace kx {
namespace devlauncher {

// What the configuration file sets: the login details handed to games and the products that
// get a server pipe. Read once at start, then only read.
struct LauncherConfig {
    std::string username = "developer";  // UTF-8
    std::string password = "password";   // UTF-8
    std::string cdkey = "DEV0-0000-0000-0000";
    std::set<std::uint32_t> products = {1};
};

// Parses configuration text: UTF-8 lines of "key = value" (username, password, cdkey,
// products) with '#' starting a comment line; products is a list of ids separated by commas or
// blanks, and the first products line replaces the default list. A leading byte-order mark is
// skipped; CR LF and LF line ends both work. Returns false with a message naming the line in
// `*error` on an unknown key, a line without '=' or a bad product id.
bool ParseLauncherConfig(const std::string& text, LauncherConfig* config, std::string* error);

}  // namespace devlauncher
}  // namespace kx
