#include "kx/halyxdll/ServerPipe.h"

#include <windows.h>

namespace kx {
namespace halyxdll {

void CloseServerPipe(clientbox::PipeHandle pipe) {
    CloseHandle(pipe);
}

}  // namespace halyxdll
}  // namespace kx
