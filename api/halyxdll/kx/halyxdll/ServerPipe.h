#pragma once

#include <cstddef>

#include "kx/clientbox/PipeHandle.h"

namespace kx {
namespace halyxdll {

// The longest server pipe name opened.
constexpr std::size_t kMaxServerPipeNameLength = 256;

// Whether the launcher's server pipe name (`length` bytes at `name`, not zero-terminated) is
// one the library opens: 1 to kMaxServerPipeNameLength ASCII letters, digits, '_', '-' and
// '.', neither starting nor ending with a dot. Path separators, and the trailing dots and
// spaces that Windows trims from a name ("x." opens "x", ". " the pipe namespace itself)
// are thereby refused, so the launcher's text cannot steer the game to another object.
bool IsPlainPipeName(const char* name, std::size_t length);

// Opens the per-product server pipe that the launcher named for handing to the game, when
// IsPlainPipeName accepts the name. Returns the open handle, which the caller owns, or
// InvalidPipeHandle().
clientbox::PipeHandle OpenServerPipe(const char* name, std::size_t length);

}  // namespace halyxdll
}  // namespace kx
