#include "kx/halyxdll/ServerPipe.h"

#include "kx/clientbox/OpenNamedPipe.h"
#include "kx/common/HybridArray.h"

namespace kx {
namespace halyxdll {

bool IsPlainPipeName(const char* name, std::size_t length) {
    if (length == 0 || length > kMaxServerPipeNameLength) return false;
    if (name[0] == '.' || name[length - 1] == '.') return false;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = name[i];
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                             (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
        if (!allowed) return false;
    }
    return true;
}

clientbox::PipeHandle OpenServerPipe(const char* name, std::size_t length) {
    if (!IsPlainPipeName(name, length)) return clientbox::InvalidPipeHandle();
    common::HybridArray<char, 128> terminated;
    terminated.AddRange(name, static_cast<unsigned>(length));
    terminated.Add('\0');
    return clientbox::OpenNamedPipe(terminated.GetData());
}

}  // namespace halyxdll
}  // namespace kx
