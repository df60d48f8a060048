#include "kx/devlauncher/PipeServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "kx/clientbox/posix/PipePath.h"

namespace kx {
namespace devlauncher {

namespace {

// A pipe whose read end becomes readable, for good, once the server stops; every wait of the
// server and its connections polls it beside its own descriptor.
class StopPipe {
public:
    StopPipe() {
        if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) {
            fds_[0] = fds_[1] = -1;
        }
    }
    ~StopPipe() {
        for (int fd : fds_) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    StopPipe(const StopPipe&) = delete;
    StopPipe& operator=(const StopPipe&) = delete;

    bool Valid() const { return fds_[0] >= 0; }
    bool Fired() const {
        pollfd polled{fds_[0], POLLIN, 0};
        return ::poll(&polled, 1, 0) > 0;
    }
    int ReadEnd() const { return fds_[0]; }
    void Fire() {
        const char byte = 0;
        while (::write(fds_[1], &byte, 1) < 0 && errno == EINTR) {
        }
    }

private:
    int fds_[2];
};

// Waits until `fd` is ready for `events`. Returns false when the stop pipe fired first.
bool WaitReady(int fd, short events, const StopPipe& stop) {
    for (;;) {
        pollfd polled[2] = {{fd, events, 0}, {stop.ReadEnd(), POLLIN, 0}};
        const int n = ::poll(polled, 2, -1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 || polled[1].revents != 0) {
            return false;
        }
        if (polled[0].revents != 0) {
            return true;
        }
    }
}

std::string Reason(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

struct PipeConnection::Impl {
    int fd = -1;
    std::shared_ptr<StopPipe> stop;
};

struct PipeServer::Impl {
    int listenFd = -1;
    int lockFd = -1;  // holds an exclusive lock on "<socket>.lock" while serving
    bool bound = false;
    std::shared_ptr<StopPipe> stop = std::make_shared<StopPipe>();
};

std::string PipeLocation(const std::string& name) {
    const clientbox::PipeDirectory directory;
    return std::string(directory.Path()) + "/" + name;
}

PipeConnection::PipeConnection(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

PipeConnection::~PipeConnection() {
    ::close(impl_->fd);
}

std::size_t PipeConnection::Read(char* data, std::size_t size) {
    for (;;) {
        if (!WaitReady(impl_->fd, POLLIN, *impl_->stop)) {
            return 0;
        }
        const ssize_t n = ::recv(impl_->fd, data, size, MSG_DONTWAIT);
        if (n >= 0) {
            return static_cast<std::size_t>(n);
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return 0;
        }
    }
}

bool PipeConnection::Write(const char* data, std::size_t size) {
    if (impl_->stop->Fired()) {
        return false;
    }
    while (size > 0) {
        const ssize_t n = ::send(impl_->fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        } else if (!WaitReady(impl_->fd, POLLOUT, *impl_->stop)) {
            return false;
        }
    }
    return true;
}

PipeServer::PipeServer() : impl_(std::make_unique<Impl>()) {}

PipeServer::~PipeServer() {
    Stop();
    if (impl_->listenFd >= 0) {
        ::close(impl_->listenFd);
    }
    if (impl_->bound) {
        ::unlink(location_.c_str());
    }
    if (impl_->lockFd >= 0) {
        ::close(impl_->lockFd);  // the lock file stays: removing it would race a new server
    }
}

PipeServer::OpenResult PipeServer::Open(const std::string& name, std::string* error) {
    location_ = PipeLocation(name);
    if (!impl_->stop->Valid()) {
        *error = Reason("cannot create a pipe");
        return OpenResult::kFailed;
    }
    const clientbox::PipeDirectory directory;
    const char* refusal = nullptr;
    if (!directory.Prepare(&refusal)) {
        *error = std::string(directory.Path()) + " " + refusal;
        if (errno != 0) {
            *error += std::string(": ") + std::strerror(errno);
        }
        return OpenResult::kFailed;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.empty() || name.find('/') != std::string::npos ||
        location_.size() >= sizeof(address.sun_path)) {
        *error = "unusable pipe name '" + name + "' (socket path " + location_ + ")";
        return OpenResult::kFailed;
    }
    std::memcpy(address.sun_path, location_.c_str(), location_.size() + 1);

    // The lock makes "is the name served?" and "take over a stale socket" one step, so two
    // launchers starting together cannot both believe they serve.
    const std::string lockPath = location_ + ".lock";
    impl_->lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (impl_->lockFd < 0) {
        *error = Reason("cannot open " + lockPath);
        return OpenResult::kFailed;
    }
    if (::flock(impl_->lockFd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            return OpenResult::kAlreadyServed;
        }
        *error = Reason("cannot lock " + lockPath);
        return OpenResult::kFailed;
    }
    struct stat existing;
    if (::lstat(location_.c_str(), &existing) == 0) {
        if (!S_ISSOCK(existing.st_mode)) {
            *error = location_ + " exists and is not a socket";
            return OpenResult::kFailed;
        }
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool live = probe >= 0 && ::connect(probe, reinterpret_cast<sockaddr*>(&address),
                                                  sizeof(address)) == 0;
        if (probe >= 0) {
            ::close(probe);
        }
        if (live) {
            return OpenResult::kAlreadyServed;
        }
        ::unlink(location_.c_str());  // left behind by a server that died
    }
    impl_->listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (impl_->listenFd < 0) {
        *error = Reason("cannot create a socket");
        return OpenResult::kFailed;
    }
    if (::bind(impl_->listenFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        *error = Reason("cannot bind " + location_);
        return OpenResult::kFailed;
    }
    impl_->bound = true;
    if (::listen(impl_->listenFd, SOMAXCONN) != 0) {
        *error = Reason("cannot listen on " + location_);
        return OpenResult::kFailed;
    }
    return OpenResult::kOpened;
}

std::unique_ptr<PipeConnection> PipeServer::Accept() {
    while (impl_->listenFd >= 0 && WaitReady(impl_->listenFd, POLLIN, *impl_->stop)) {
        const int fd = ::accept4(impl_->listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            continue;
        }
        if (!clientbox::PeerIsPipeUser(fd)) {
            ::close(fd);  // only this user's programs may talk to this user's launcher
            continue;
        }
        auto impl = std::make_unique<PipeConnection::Impl>();
        impl->fd = fd;
        impl->stop = impl_->stop;
        return std::make_unique<PipeConnection>(std::move(impl));
    }
    return nullptr;
}

void PipeServer::Stop() {
    if (impl_->stop->Valid()) {
        impl_->stop->Fire();
    }
}

}  // namespace devlauncher
}  // namespace kx
