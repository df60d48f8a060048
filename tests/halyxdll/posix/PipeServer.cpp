#include "PipeServer.h"

#include <dirent.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace halyxdll_test {

namespace {

std::string PathOf(const std::string& name) {
    const char* directory = getenv("XDG_RUNTIME_DIR");
    return std::string(directory != nullptr ? directory : "/tmp") + "/" + name;
}

std::string g_namespace;

bool SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

}  // namespace

int PipeServerEnd::ReadAvailable(char* buffer, int size) {
    if (handle_ < 0) return -1;
    const ssize_t got =
        recv(static_cast<int>(handle_), buffer, static_cast<size_t>(size), MSG_DONTWAIT);
    if (got > 0) return static_cast<int>(got);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
    return -1;
}

bool PipeServerEnd::WriteAll(const char* data, std::size_t size) {
    return SendAll(static_cast<int>(handle_), data, size);
}

void PipeServerEnd::Close() {
    if (handle_ >= 0) close(static_cast<int>(handle_));
    handle_ = -1;
}

struct PipeServer::State {
    std::string path;
    int listener = -1;
};

PipeServer::PipeServer(const std::string& name) : state_(new State) {
    IsolatePipeNamespace();
    state_->path = PathOf(name);
    unlink(state_->path.c_str());
    state_->listener = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    snprintf(address.sun_path, sizeof(address.sun_path), "%s", state_->path.c_str());
    if (bind(state_->listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(state_->listener, 16) != 0) {
        ADD_FAILURE() << "cannot serve " << state_->path << ": " << strerror(errno);
    }
}

PipeServer::~PipeServer() {
    close(state_->listener);
    unlink(state_->path.c_str());
}

std::unique_ptr<PipeServerEnd> PipeServer::TryAccept() {
    const int client = accept4(state_->listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return nullptr;
    return std::unique_ptr<PipeServerEnd>(new PipeServerEnd(client));
}

bool WriteToGamePipe(void* pipe, const char* data, std::size_t size) {
    return SendAll(static_cast<int>(reinterpret_cast<intptr_t>(pipe)), data, size);
}

void CloseGamePipe(void* pipe) {
    close(static_cast<int>(reinterpret_cast<intptr_t>(pipe)));
}

void IsolatePipeNamespace() {
    if (!g_namespace.empty()) return;
    char directory[] = "/tmp/halyxdll-test-XXXXXX";
    if (mkdtemp(directory) == nullptr) {
        ADD_FAILURE() << "mkdtemp: " << strerror(errno);
        return;
    }
    g_namespace = directory;
    setenv("XDG_RUNTIME_DIR", directory, 1);
}

void RemovePipeNamespace() {
    if (g_namespace.empty()) return;
    if (DIR* directory = opendir(g_namespace.c_str())) {
        while (dirent* entry = readdir(directory)) {
            if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
                unlink((g_namespace + "/" + entry->d_name).c_str());
            }
        }
        closedir(directory);
    }
    rmdir(g_namespace.c_str());
    g_namespace.clear();
}

}  // namespace halyxdll_test
