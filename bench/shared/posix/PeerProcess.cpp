#include "shared/PeerProcess.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace kx {
namespace bench {

namespace {

void RemoveDirectory(const std::string& directory) {
    if (DIR* listing = opendir(directory.c_str())) {
        while (dirent* entry = readdir(listing)) {
            if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
                unlink((directory + "/" + entry->d_name).c_str());
            }
        }
        closedir(listing);
    }
    rmdir(directory.c_str());
}

}  // namespace

std::string PeerProcess::ProgramBesideThisOne(const std::string& name) {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0) return name;
    std::string program(path, static_cast<std::size_t>(length));
    return program.substr(0, program.find_last_of('/') + 1) + name;
}

bool PeerProcess::Start(const std::string& program, const std::string& launcherPipeName,
                        const std::string& behaviour) {
    char directory[] = "/tmp/halyx-bench-XXXXXX";
    if (mkdtemp(directory) == nullptr) return false;
    namespace_ = directory;
    setenv("XDG_RUNTIME_DIR", directory, 1);

    int input[2];
    if (pipe2(input, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    char* const arguments[] = {
        const_cast<char*>(program.c_str()), const_cast<char*>(launcherPipeName.c_str()),
        behaviour.empty() ? nullptr : const_cast<char*>(behaviour.c_str()), nullptr};
    pid_t peer;
    const int failed = posix_spawn(&peer, program.c_str(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    if (failed != 0) {
        close(input[1]);
        return false;
    }
    process_ = peer;
    input_ = input[1];
    return true;
}

void PeerProcess::Stop() {
    if (input_ >= 0) close(static_cast<int>(input_));
    if (process_ > 0) {
        const pid_t peer = static_cast<pid_t>(process_);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (waitpid(peer, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(peer, SIGKILL);
                waitpid(peer, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (!namespace_.empty()) RemoveDirectory(namespace_);
}

}  // namespace bench
}  // namespace kx
