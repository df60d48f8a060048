#include "game/Platform.h"

#include <sys/utsname.h>

#include <thread>

namespace kx {
namespace bench {

std::string DescribePlatform() {
    utsname system;
    const std::string name = uname(&system) == 0
                                 ? std::string(system.sysname) + " " + system.machine
                                 : std::string("POSIX");
    return name + ", " + std::to_string(std::thread::hardware_concurrency()) + " CPUs";
}

bool RunsNatively() {
    return true;
}

}  // namespace bench
}  // namespace kx
