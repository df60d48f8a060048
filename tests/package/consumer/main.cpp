// A game-like program built against an installed package; see PackageConsumer.h. Beyond the
// plain exports, a program built with GCC can use the class interface.
#include <cstdio>

#include "../PackageConsumer.h"
#include "velhalyxapi_r2.h"

int main() {
    int failed = RunPackageChecks();
    if (failed == 0) {
        // Ids keep counting in the session state the plain exports created; destroying this
        // facade destroys that state.
        kx::halyxdll::HalyxSession facade;
        if (facade.GetRequestUniqueId() != 4) failed = 20;
        facade.Update();
    }
    if (failed != 0) {
        std::printf("package consumer: check %d failed\n", failed);
        return 1;
    }
    std::printf("package consumer: ok\n");
    return 0;
}
