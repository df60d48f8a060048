#include "kx/halyxdll/PipeName.h"

namespace kx {
namespace halyxdll {

const common::String kLauncherPipeName("halyx_ipc_pipe");

}  // namespace halyxdll
}  // namespace kx
