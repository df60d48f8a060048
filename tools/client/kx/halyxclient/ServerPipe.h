#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "velhalyxapi_r2/Export.h"

namespace kx {
namespace halyxclient {

// Whether `pipe` is an opened pipe rather than the failure value (all bits set).
inline bool IsOpenPipe(halyxdll::PipeHandle pipe) {
    return pipe != reinterpret_cast<halyxdll::PipeHandle>(static_cast<std::intptr_t>(-1));
}

// Closes a server pipe the library handed over.
void ClosePipe(halyxdll::PipeHandle pipe);

// Writes `text` into the server pipe (opened for overlapped I/O on Windows) and returns the
// bytes that come back within `timeout`, at most text.size() of them.
std::string SendAndReceive(halyxdll::PipeHandle pipe, const std::string& text,
                           std::chrono::milliseconds timeout);

}  // namespace halyxclient
}  // namespace kx
