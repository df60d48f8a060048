#include "kx/halyxdll/ServerPipe.h"

#include "kx/clientbox/OpenNamedPipe.h"
#include "kx/common/HybridArray.h"

namespace kx {
namespace halyxdll {

namespace {

bool IsPlainPipeName(const char* name, std::size_t length) {
    if (length == 0) return false;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = name[i];
        if (c == '\0' || c == '/' || c == '\\') return false;
        if (c == '.' && i + 1 < length && name[i + 1] == '.') return false;
    }
    return true;
}

}  // namespace

clientbox::PipeHandle OpenServerPipe(const char* name, std::size_t length) {
    if (!IsPlainPipeName(name, length)) return clientbox::InvalidPipeHandle();
    common::HybridArray<char, 128> terminated;
    terminated.AddRange(name, static_cast<unsigned>(length));
    terminated.Add('\0');
    return clientbox::OpenNamedPipe(terminated.GetData());
}

}  // namespace halyxdll
}  // namespace kx
