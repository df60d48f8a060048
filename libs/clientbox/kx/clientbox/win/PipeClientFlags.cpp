#include "kx/clientbox/win/PipeClientFlags.h"

namespace kx {
namespace clientbox {

DWORD PipeClientSecurityFlags() {
    return SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;
}

}  // namespace clientbox
}  // namespace kx
