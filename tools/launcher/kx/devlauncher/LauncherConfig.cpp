#include "kx/devlauncher/LauncherConfig.h"

#include <limits>
#include <sstream>

namespace kx {
namespace devlauncher {

namespace {

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool ParseProducts(const std::string& value, std::set<std::uint32_t>* products) {
    std::string list = value;
    for (char& c : list) {
        if (c == ',') {
            c = ' ';
        }
    }
    std::istringstream words(list);
    std::string word;
    while (words >> word) {
        if (word.size() > 10 || word.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        const unsigned long long id = std::stoull(word);
        if (id > std::numeric_limits<std::uint32_t>::max()) {
            return false;
        }
        products->insert(static_cast<std::uint32_t>(id));
    }
    return true;
}

}  // namespace

bool ParseLauncherConfig(const std::string& text, LauncherConfig* config, std::string* error) {
    std::istringstream lines(text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? text.substr(3) : text);
    std::string line;
    bool productsSeen = false;
    for (int number = 1; std::getline(lines, line); ++number) {
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#') {
            continue;
        }
        const std::size_t equals = trimmed.find('=');
        const std::string where = "line " + std::to_string(number) + ": ";
        if (equals == std::string::npos) {
            *error = where + "expected key = value";
            return false;
        }
        const std::string key = Trim(trimmed.substr(0, equals));
        const std::string value = Trim(trimmed.substr(equals + 1));
        if (key == "username") {
            config->username = value;
        } else if (key == "password") {
            config->password = value;
        } else if (key == "cdkey") {
            config->cdkey = value;
        } else if (key == "products") {
            if (!productsSeen) {
                config->products.clear();
                productsSeen = true;
            }
            if (!ParseProducts(value, &config->products)) {
                *error = where + "products must be unsigned 32-bit numbers";
                return false;
            }
        } else {
            *error = where + "unknown key '" + key + "'";
            return false;
        }
    }
    return true;
}

}  // namespace devlauncher
}  // namespace kx
