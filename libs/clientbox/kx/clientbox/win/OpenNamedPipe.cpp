#include "kx/clientbox/OpenNamedPipe.h"

#include <string.h>
#include <windows.h>

#include "kx/clientbox/win/PipeClientFlags.h"
#include "kx/clientbox/win/PipeServerUser.h"
#include "kx/common/Contract.h"
#include "kx/common/HybridArray.h"
#include "kx/logger/LogRecord.h"

namespace kx {
namespace clientbox {

namespace {

const char kPipePrefix[] = "\\\\.\\pipe\\";

// True when `name` stays inside the pipe namespace: not empty and without a "." or ".."
// component, which the path normalization of CreateFileA would resolve.
bool StaysInPipeNamespace(const char* name) {
    if (name[0] == '\0') return false;
    const char* component = name;
    for (const char* p = name;; ++p) {
        if (*p == '\\' || *p == '/' || *p == '\0') {
            const size_t length = static_cast<size_t>(p - component);
            if ((length == 1 && component[0] == '.') ||
                (length == 2 && component[0] == '.' && component[1] == '.')) {
                return false;
            }
            if (*p == '\0') return true;
            component = p + 1;
        }
    }
}

}  // namespace

PipeHandle OpenNamedPipe(const char* name) {
    KX_CHECK(name != nullptr);
    if (!StaysInPipeNamespace(name)) return InvalidPipeHandle();
    common::HybridArray<char, 256> path;
    path.AddRange(kPipePrefix, sizeof(kPipePrefix) - 1);
    path.AddRange(name, static_cast<unsigned>(strlen(name)) + 1);
    const HANDLE pipe =
        CreateFileA(path.GetData(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OVERLAPPED | PipeClientSecurityFlags(), nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return InvalidPipeHandle();
    // Another user's process may have created the name first: its server is no launcher of ours.
    if (!PipeServerIsOwnUser(pipe)) {
        KX_LOG(common::kLogError) << "Refused the pipe " << name
                                  << ": its server does not run as this user.";
        CloseHandle(pipe);
        return InvalidPipeHandle();
    }
    return pipe;
}

}  // namespace clientbox
}  // namespace kx
