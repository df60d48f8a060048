#include "kx/clientbox/win/ProcessUser.h"

namespace kx {
namespace clientbox {

ProcessUser::ProcessUser(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return;
    DWORD length = 0;
    if (GetTokenInformation(token, TokenUser, &token_, sizeof(token_), &length) &&
        IsValidSid(token_.user.User.Sid)) {
        sid_ = token_.user.User.Sid;
    }
    CloseHandle(token);
}

}  // namespace clientbox
}  // namespace kx
