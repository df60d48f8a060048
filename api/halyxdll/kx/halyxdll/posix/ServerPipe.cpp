#include "kx/halyxdll/ServerPipe.h"

#include <stdint.h>
#include <unistd.h>

namespace kx {
namespace halyxdll {

void CloseServerPipe(clientbox::PipeHandle pipe) {
    close(static_cast<int>(reinterpret_cast<intptr_t>(pipe)));
}

}  // namespace halyxdll
}  // namespace kx
