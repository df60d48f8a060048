#include "game/Platform.h"

#include <windows.h>

#include <thread>

namespace kx {
namespace bench {

namespace {

// Wine's version when this runs under Wine, else null.
const char* WineVersion() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll == nullptr) return nullptr;
    using GetVersion = const char*(CDECL*)();
    const auto get = reinterpret_cast<GetVersion>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")));
    return get != nullptr ? get() : nullptr;
}

}  // namespace

std::string DescribePlatform() {
    const char* wine = WineVersion();
    const std::string name = wine != nullptr ? std::string("Windows x86_64 under Wine ") + wine
                                             : std::string("Windows x86_64");
    return name + ", " + std::to_string(std::thread::hardware_concurrency()) + " CPUs";
}

bool RunsNatively() {
    return WineVersion() == nullptr;
}

}  // namespace bench
}  // namespace kx
