#include "kx/devlauncher/PipeServer.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "kx/clientbox/win/PipeClientFlags.h"
#include "kx/devlauncher/win/PipeSecurity.h"

namespace kx {
namespace devlauncher {

namespace {

// Instances kept listening at once, so a client that arrives while another one is being
// handed over still finds a free instance instead of a busy pipe.
constexpr std::size_t kListeningInstances = 16;
constexpr DWORD kPipeBufferSize = 64 * 1024;

// How long a pipe found at start must stay before it counts as served by someone else.
constexpr int kProbeAttempts = 10;
constexpr DWORD kProbePauseMs = 100;

// A manual-reset event that the server sets once on Stop; every wait of the server and its
// connections waits on it beside its own operation.
class StopEvent {
public:
    StopEvent() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~StopEvent() {
        if (event_ != nullptr) {
            ::CloseHandle(event_);
        }
    }
    StopEvent(const StopEvent&) = delete;
    StopEvent& operator=(const StopEvent&) = delete;

    HANDLE Handle() const { return event_; }

private:
    HANDLE event_;
};

// Whether the server was stopped; its connections then refuse every further call.
bool Stopped(const StopEvent& stop) {
    return ::WaitForSingleObject(stop.Handle(), 0) == WAIT_OBJECT_0;
}

// An OVERLAPPED with its own manual-reset event.
class Overlapped {
public:
    Overlapped() {
        ZeroMemory(&overlapped_, sizeof(overlapped_));
        overlapped_.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~Overlapped() {
        if (overlapped_.hEvent != nullptr) {
            ::CloseHandle(overlapped_.hEvent);
        }
    }
    Overlapped(const Overlapped&) = delete;
    Overlapped& operator=(const Overlapped&) = delete;

    bool Valid() const { return overlapped_.hEvent != nullptr; }
    OVERLAPPED* Get() { return &overlapped_; }

private:
    OVERLAPPED overlapped_;
};

// Finishes an overlapped operation on `file` that the call returning `started` began. Returns
// false when it failed or when `stop` was set first; a stopped operation is cancelled and
// waited out, so its buffer is free on return.
bool Finish(HANDLE file, Overlapped& op, BOOL started, HANDLE stop, DWORD* transferred) {
    if (!started && ::GetLastError() != ERROR_IO_PENDING) {
        return false;
    }
    HANDLE waits[2] = {op.Get()->hEvent, stop};
    if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        ::CancelIoEx(file, op.Get());
        ::GetOverlappedResult(file, op.Get(), transferred, TRUE);
        return false;
    }
    return ::GetOverlappedResult(file, op.Get(), transferred, FALSE) != 0;
}

// Every instance refuses remote clients and carries `security`. Only the first one asks to be
// the first instance of its name: the later ones of this server would fail with that flag.
HANDLE CreateInstance(const std::string& location, bool first, PipeSecurity& security) {
    return ::CreateNamedPipeA(
        location.c_str(),
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
        PIPE_UNLIMITED_INSTANCES, kPipeBufferSize, kPipeBufferSize, 0, security.Attributes());
}

}  // namespace

struct PipeConnection::Impl {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    std::shared_ptr<StopEvent> stop;
    Overlapped io;
};

// One pipe instance waiting for a client with an overlapped ConnectNamedPipe.
struct Listener {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    Overlapped connect;
    bool connected = false;  // a client arrived before or during the connect
};

struct PipeServer::Impl {
    std::shared_ptr<StopEvent> stop = std::make_shared<StopEvent>();
    std::vector<std::unique_ptr<Listener>> listeners;
    PipeSecurity security;
    HANDLE nameOwner = nullptr;  // named mutex held while serving the name

    // Starts waiting for a client on `pipe`. Returns null when the wait cannot start.
    std::unique_ptr<Listener> Listen(HANDLE pipe) {
        auto listener = std::make_unique<Listener>();
        listener->pipe = pipe;
        if (!listener->connect.Valid()) {
            ::CloseHandle(pipe);
            return nullptr;
        }
        if (!::ConnectNamedPipe(pipe, listener->connect.Get())) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_PIPE_CONNECTED) {
                listener->connected = true;
            } else if (error != ERROR_IO_PENDING) {
                ::CloseHandle(pipe);
                return nullptr;
            }
        } else {
            listener->connected = true;
        }
        return listener;
    }

    static void Close(Listener& listener) {
        DWORD ignored = 0;
        if (!listener.connected && ::CancelIoEx(listener.pipe, listener.connect.Get())) {
            ::GetOverlappedResult(listener.pipe, listener.connect.Get(), &ignored, TRUE);
        }
        ::CloseHandle(listener.pipe);
    }
};

std::string PipeLocation(const std::string& name) {
    return "\\\\.\\pipe\\" + name;
}

PipeConnection::PipeConnection(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

// No DisconnectNamedPipe: it would throw away answers the client has not read yet.
PipeConnection::~PipeConnection() {
    ::CloseHandle(impl_->pipe);
}

std::size_t PipeConnection::Read(char* data, std::size_t size) {
    if (!impl_->io.Valid() || Stopped(*impl_->stop)) {
        return 0;
    }
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD transferred = 0;
    do {  // a zero-length write of the client completes a read with nothing in it
        const BOOL started = ::ReadFile(impl_->pipe, data, chunk, nullptr, impl_->io.Get());
        if (!Finish(impl_->pipe, impl_->io, started, impl_->stop->Handle(), &transferred)) {
            return 0;
        }
    } while (transferred == 0);
    return transferred;
}

bool PipeConnection::Write(const char* data, std::size_t size) {
    if (!impl_->io.Valid() || Stopped(*impl_->stop)) {
        return false;
    }
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD transferred = 0;
        const BOOL started = ::WriteFile(impl_->pipe, data, chunk, nullptr, impl_->io.Get());
        if (!Finish(impl_->pipe, impl_->io, started, impl_->stop->Handle(), &transferred) ||
            transferred == 0) {
            return false;
        }
        data += transferred;
        size -= transferred;
    }
    return true;
}

PipeServer::PipeServer() : impl_(std::make_unique<Impl>()) {}

PipeServer::~PipeServer() {
    Stop();
    for (const auto& listener : impl_->listeners) {
        Impl::Close(*listener);
    }
    if (impl_->nameOwner != nullptr) {
        ::CloseHandle(impl_->nameOwner);
    }
}

PipeServer::OpenResult PipeServer::Open(const std::string& name, std::string* error) {
    location_ = PipeLocation(name);
    if (impl_->stop->Handle() == nullptr) {
        *error = "cannot create an event (error " + std::to_string(::GetLastError()) + ")";
        return OpenResult::kFailed;
    }
    if (impl_->security.Attributes() == nullptr) {
        *error = "cannot build the pipe's security descriptor (error " +
                 std::to_string(::GetLastError()) + ")";
        return OpenResult::kFailed;
    }
    // A named mutex claims the name among launchers of this session; Wine does not enforce
    // FILE_FLAG_FIRST_PIPE_INSTANCE, and the mutex also settles two launchers starting at once.
    const std::string mutexName = "Local\\halyx_pipe_" + name;
    impl_->nameOwner = ::CreateMutexA(nullptr, FALSE, mutexName.c_str());
    if (impl_->nameOwner == nullptr) {
        *error = "cannot create the mutex " + mutexName + " (error " +
                 std::to_string(::GetLastError()) + ")";
        return OpenResult::kFailed;
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        return OpenResult::kAlreadyServed;
    }
    // A server that takes no part in the mutex (some other program) still answers a client.
    // The pipe of a launcher that was just killed may linger a moment, so only a pipe that
    // stays counts.
    for (int attempt = 0;; ++attempt) {
        const HANDLE probe =
            ::CreateFileA(location_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                          OPEN_EXISTING, clientbox::PipeClientSecurityFlags(), nullptr);
        const bool exists = probe != INVALID_HANDLE_VALUE || ::GetLastError() == ERROR_PIPE_BUSY;
        if (probe != INVALID_HANDLE_VALUE) {
            ::CloseHandle(probe);
        }
        if (!exists) {
            break;
        }
        if (attempt == kProbeAttempts) {
            return OpenResult::kAlreadyServed;
        }
        ::Sleep(kProbePauseMs);
    }
    for (std::size_t i = 0; i < kListeningInstances; ++i) {
        // The first instance is made with FILE_FLAG_FIRST_PIPE_INSTANCE: on Windows it fails
        // when another server already owns the name.
        const HANDLE pipe = CreateInstance(location_, i == 0, impl_->security);
        if (pipe == INVALID_HANDLE_VALUE) {
            const DWORD code = ::GetLastError();
            if (i == 0 && (code == ERROR_ACCESS_DENIED || code == ERROR_PIPE_BUSY)) {
                return OpenResult::kAlreadyServed;
            }
            *error =
                "cannot create the pipe " + location_ + " (error " + std::to_string(code) + ")";
            return OpenResult::kFailed;
        }
        std::unique_ptr<Listener> listener = impl_->Listen(pipe);
        if (!listener) {
            *error = "cannot listen on " + location_ + " (error " +
                     std::to_string(::GetLastError()) + ")";
            return OpenResult::kFailed;
        }
        impl_->listeners.push_back(std::move(listener));
    }
    return OpenResult::kOpened;
}

std::unique_ptr<PipeConnection> PipeServer::Accept() {
    std::vector<HANDLE> waits;
    while (!impl_->listeners.empty()) {
        if (::WaitForSingleObject(impl_->stop->Handle(), 0) == WAIT_OBJECT_0) {
            return nullptr;
        }
        // Hand over a connected instance, putting a fresh listening one in its place first.
        for (auto& listener : impl_->listeners) {
            if (!listener->connected) {
                continue;
            }
            auto connection = std::make_unique<PipeConnection::Impl>();
            connection->pipe = listener->pipe;
            connection->stop = impl_->stop;
            const HANDLE fresh = CreateInstance(location_, false, impl_->security);
            std::unique_ptr<Listener> replacement =
                fresh == INVALID_HANDLE_VALUE ? nullptr : impl_->Listen(fresh);
            if (replacement) {
                listener = std::move(replacement);
            } else {
                listener->pipe = INVALID_HANDLE_VALUE;
                listener->connected = false;
            }
            impl_->listeners.erase(std::remove_if(impl_->listeners.begin(), impl_->listeners.end(),
                                                  [](const std::unique_ptr<Listener>& l) {
                                                      return l->pipe == INVALID_HANDLE_VALUE;
                                                  }),
                                   impl_->listeners.end());
            return std::make_unique<PipeConnection>(std::move(connection));
        }
        waits.clear();
        waits.push_back(impl_->stop->Handle());
        for (const auto& listener : impl_->listeners) {
            waits.push_back(listener->connect.Get()->hEvent);
        }
        const DWORD woken = ::WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(),
                                                     FALSE, INFINITE);
        if (woken == WAIT_OBJECT_0 || woken >= WAIT_OBJECT_0 + waits.size()) {
            return nullptr;
        }
        Listener& ready = *impl_->listeners[woken - WAIT_OBJECT_0 - 1];
        DWORD ignored = 0;
        if (::GetOverlappedResult(ready.pipe, ready.connect.Get(), &ignored, FALSE) ||
            ::GetLastError() == ERROR_PIPE_CONNECTED) {
            ready.connected = true;
        } else {
            // The client left again before being served: reuse the instance.
            ::DisconnectNamedPipe(ready.pipe);
            ::ResetEvent(ready.connect.Get()->hEvent);
            std::unique_ptr<Listener> again = impl_->Listen(ready.pipe);
            auto& slot = impl_->listeners[woken - WAIT_OBJECT_0 - 1];
            if (again) {
                slot = std::move(again);
            } else {
                impl_->listeners.erase(impl_->listeners.begin() + (woken - WAIT_OBJECT_0 - 1));
            }
        }
    }
    return nullptr;
}

void PipeServer::Stop() {
    ::SetEvent(impl_->stop->Handle());
}

}  // namespace devlauncher
}  // namespace kx
