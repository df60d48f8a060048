#pragma once

#include <string>
#include <vector>

namespace kx {
namespace halyxclient {

// The program's arguments as UTF-8 texts. On Windows they are taken from the wide command
// line: the narrow arguments come in the ANSI code page and lose every character it lacks.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

}  // namespace halyxclient
}  // namespace kx
