#pragma once

#include <sys/types.h>

#include <cstddef>

namespace kx {
namespace clientbox {

// Where POSIX pipes live and who may serve them: the contract between every launcher and every
// client, which both sides take from here.
//
// Every check compares with the effective user id, never the real one. The kernel creates the
// directory and the socket with the effective id, checks every access to them against it and
// reports it as the peer's id (SO_PEERCRED). A set-user-id program acts as its owner: checked
// against its real id, it would refuse the directory it has just created and every peer that
// runs as the same owner, while its files and its peers could not be told apart by that id.

// The user that owns the pipe directory and every pipe in it: the effective user id.
uid_t PipeUserId();

// The directory of the pipes: $XDG_RUNTIME_DIR when that variable is set and not empty, else
// the shared-/tmp fallback /tmp/halyx-<PipeUserId()>. The choice is made on construction.
class PipeDirectory {
public:
    PipeDirectory();
    PipeDirectory(const PipeDirectory&) = delete;
    PipeDirectory& operator=(const PipeDirectory&) = delete;

    // The directory's path, valid while this object lives.
    const char* Path() const { return path_; }

    // Makes the directory ready for use: the fallback must pass PreparePrivateDirectory; the
    // runtime directory is the session's own and is used as it is. On false, see
    // PreparePrivateDirectory for `refusal` and errno.
    bool Prepare(const char** refusal = nullptr) const;

private:
    char fallback_[32];
    const char* path_;
};

// Creates `directory` with mode 0700 when it does not exist, then accepts it only when it is a
// real directory (not a link) owned by PipeUserId() that nobody else may enter: another user
// could otherwise put a socket of their own in its place. On false, `*refusal` (when not null)
// says why in a few words that follow the directory's path, and errno holds the error of the
// failed system call, or 0 when what exists was refused.
bool PreparePrivateDirectory(const char* directory, const char** refusal = nullptr);

// Writes the socket path of pipe `name` into `path` (`size` bytes): <PipeDirectory>/<name>,
// after PipeDirectory::Prepare. False when the name is not a plain file name, the directory is
// refused or the path does not fit.
bool BuildPipePath(const char* name, char* path, std::size_t size);

// True when the peer connected to the Unix-domain socket `fd` runs as PipeUserId(): only the
// user's own programs serve or use the user's pipes.
bool PeerIsPipeUser(int fd);

}  // namespace clientbox
}  // namespace kx
