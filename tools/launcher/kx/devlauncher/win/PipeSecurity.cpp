#include "kx/devlauncher/win/PipeSecurity.h"

namespace kx {
namespace devlauncher {

PipeSecurity::PipeSecurity() : user_(::GetCurrentProcess()) {
    DWORD systemSize = sizeof(system_);
    valid_ = user_.Sid() != nullptr &&
             ::CreateWellKnownSid(WinLocalSystemSid, nullptr, system_, &systemSize) &&
             ::InitializeAcl(&acl_.header, sizeof(acl_), ACL_REVISION) &&
             ::AddAccessAllowedAce(&acl_.header, ACL_REVISION, GENERIC_ALL, user_.Sid()) &&
             ::AddAccessAllowedAce(&acl_.header, ACL_REVISION, GENERIC_ALL, system_) &&
             ::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
             ::SetSecurityDescriptorOwner(&descriptor_, user_.Sid(), FALSE) &&
             ::SetSecurityDescriptorDacl(&descriptor_, TRUE, &acl_.header, FALSE);
    attributes_.nLength = sizeof(attributes_);
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
}

}  // namespace devlauncher
}  // namespace kx
