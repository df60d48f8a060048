#pragma once

#include <windows.h>

namespace kx {
namespace clientbox {

// The user a process runs as: the SID in the TokenUser information of its primary token.
// Holds its own copy of the SID; no allocation.
class ProcessUser {
public:
    // Reads the user of `process`, a handle with at least PROCESS_QUERY_LIMITED_INFORMATION
    // access; the handle is not kept.
    explicit ProcessUser(HANDLE process);
    ProcessUser(const ProcessUser&) = delete;
    ProcessUser& operator=(const ProcessUser&) = delete;

    // The user's SID, valid while this object lives; null when it could not be read.
    PSID Sid() const { return sid_; }

private:
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } token_;
    PSID sid_ = nullptr;
};

}  // namespace clientbox
}  // namespace kx
