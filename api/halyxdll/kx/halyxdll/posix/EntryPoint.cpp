// The library's entry point on POSIX: the shared object's constructor and destructor stand for
// the process attach and detach notifications.
#include "kx/halyxdll/LibraryLifetime.h"

namespace {

__attribute__((constructor)) void AttachProcess() {
    kx::halyxdll::OnLibraryLoad();
}

__attribute__((destructor)) void DetachProcess() {
    kx::halyxdll::OnLibraryUnload();
}

}  // namespace
