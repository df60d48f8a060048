#pragma once

#include <windows.h>

namespace kx {
namespace clientbox {

// The security quality-of-service flags that every client open of a local pipe passes to
// CreateFile beside its other flags. The server may learn who the client is (identification)
// but may never act as the client: without them the level is impersonation, and any process
// that creates a pipe name before its rightful server could take on the game's identity.
DWORD PipeClientSecurityFlags();

}  // namespace clientbox
}  // namespace kx
