#include "kx/halyxclient/CommandLine.h"

#include <windows.h>

#include <shellapi.h>  // needs windows.h first

#include "kx/halyxclient/Utf16.h"

namespace kx {
namespace halyxclient {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    // wchar_t is a UTF-16 unit on Windows.
    for (int i = 0; i < count; ++i) {
        arguments.push_back(Utf16ToUtf8(reinterpret_cast<const unsigned short*>(wide[i])));
    }
    LocalFree(wide);
    return arguments;
}

}  // namespace halyxclient
}  // namespace kx
