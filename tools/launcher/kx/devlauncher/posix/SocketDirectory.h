#pragma once

#include <string>

namespace kx {
namespace devlauncher {

// The directory of the per-user sockets: $XDG_RUNTIME_DIR when it is set and not empty, else
// /tmp/halyx-<uid>. Every launcher and every client agrees on this place.
std::string SocketDirectory();

// Whether SocketDirectory is the shared-/tmp fallback that must be checked before use.
bool SocketDirectoryIsFallback();

// Makes `dir` a private directory of this user: creates it with mode 0700 when missing and
// refuses (false, reason in `*error`) one that is not a real directory, belongs to another user,
// or that group or others may enter, since they could then put their own socket in its place.
bool EnsurePrivateDirectory(const std::string& dir, std::string* error);

}  // namespace devlauncher
}  // namespace kx
