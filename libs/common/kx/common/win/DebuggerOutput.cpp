#include "kx/common/DebuggerOutput.h"

#include <stdio.h>
#include <windows.h>

namespace kx {
namespace common {

void WriteDebuggerOutput(const char* line) { OutputDebugStringA(line); }

void WriteFatalOutput(const char* line) {
    OutputDebugStringA(line);
    fputs(line, stderr);
    fflush(stderr);
}

}  // namespace common
}  // namespace kx
