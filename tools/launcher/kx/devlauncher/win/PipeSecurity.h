#pragma once

#include <windows.h>

#include "kx/clientbox/win/ProcessUser.h"

namespace kx {
namespace devlauncher {

// The security of every instance of a launcher pipe: owned by the launcher's user, with full
// access for that user and for SYSTEM and none for anybody else. The default would let other
// local users open read-only instances, each of which holds a launcher thread. Used by the
// thread that creates the instances; lives as long as the server.
class PipeSecurity {
public:
    PipeSecurity();
    PipeSecurity(const PipeSecurity&) = delete;
    PipeSecurity& operator=(const PipeSecurity&) = delete;

    // The attributes to pass to CreateNamedPipe; null when the descriptor could not be built.
    SECURITY_ATTRIBUTES* Attributes() { return valid_ ? &attributes_ : nullptr; }

private:
    static constexpr DWORD kAceSize = sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE;

    clientbox::ProcessUser user_;
    BYTE system_[SECURITY_MAX_SID_SIZE];
    union {
        ACL header;
        BYTE bytes[sizeof(ACL) + 2 * kAceSize];
    } acl_;
    SECURITY_DESCRIPTOR descriptor_;
    SECURITY_ATTRIBUTES attributes_;
    bool valid_ = false;
};

}  // namespace devlauncher
}  // namespace kx
