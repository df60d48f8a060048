#include "kx/halyxclient/CommandLine.h"

namespace kx {
namespace halyxclient {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

}  // namespace halyxclient
}  // namespace kx
