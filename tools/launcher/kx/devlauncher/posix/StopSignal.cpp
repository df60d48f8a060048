#include "kx/devlauncher/StopSignal.h"

#include <pthread.h>
#include <signal.h>

namespace kx {
namespace devlauncher {

namespace {

sigset_t StopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

void PrepareStopSignals() {
    const sigset_t set = StopSet();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);  // inherited by every thread started later
    ::signal(SIGPIPE, SIG_IGN);
}

void WaitForStopSignal() {
    const sigset_t set = StopSet();
    int received = 0;
    while (::sigwait(&set, &received) != 0) {
    }
}

}  // namespace devlauncher
}  // namespace kx
