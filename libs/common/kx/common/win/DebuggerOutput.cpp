#include "kx/common/DebuggerOutput.h"

#include <windows.h>

namespace kx {
namespace common {

void WriteDebuggerOutput(const char* line) { OutputDebugStringA(line); }

}  // namespace common
}  // namespace kx
