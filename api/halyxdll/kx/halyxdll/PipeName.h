#pragma once

#include "kx/common/String.h"

namespace kx {
namespace halyxdll {

// Name of the launcher's named pipe, without the platform's pipe prefix. Constructed during
// static construction at library load and never changed; read on the game's thread only (its
// conversion buffers are not shared between threads).
extern const common::String kLauncherPipeName;

}  // namespace halyxdll
}  // namespace kx
