#include "kx/clientbox/win/PipeServerUser.h"

#include "kx/clientbox/win/ProcessUser.h"

namespace kx {
namespace clientbox {

bool PipeServerRunsAs(HANDLE pipe, PSID user) {
    ULONG serverId = 0;
    if (!GetNamedPipeServerProcessId(pipe, &serverId)) return false;
    const HANDLE server = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, serverId);
    if (server == nullptr) return false;
    const ProcessUser serverUser(server);
    CloseHandle(server);
    return serverUser.Sid() != nullptr && EqualSid(serverUser.Sid(), user);
}

bool PipeServerIsOwnUser(HANDLE pipe) {
    const ProcessUser self(GetCurrentProcess());
    return self.Sid() != nullptr && PipeServerRunsAs(pipe, self.Sid());
}

}  // namespace clientbox
}  // namespace kx
