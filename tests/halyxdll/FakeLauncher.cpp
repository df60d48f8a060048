#include "FakeLauncher.h"

#include <chrono>

#include <gtest/gtest.h>

#include "kx/testing/PipeNamespace.h"

namespace kx {
namespace testing {

namespace {

const char kLauncherPipe[] = "halyx_ipc_pipe";

// `name`, once the process has a pipe namespace of its own: the launcher's pipe and the others
// that tests serve under fixed names meet no other program's.
const char* InPrivateNamespace(const char* name) {
    kx::testing::IsolatePipeNamespace();
    return name;
}

std::chrono::steady_clock::time_point Deadline(int milliseconds) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
}

}  // namespace

FakeLauncher::FakeLauncher()
    : server_(InPrivateNamespace(kLauncherPipe)), thread_([this] { Serve(); }) {}

FakeLauncher::~FakeLauncher() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    thread_.join();
}

void FakeLauncher::Serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        while (std::unique_ptr<PipeEnd> end = server_.Accept(kx::testing::Wait(0))) {
            clients_.emplace_back(new Client);
            clients_.back()->end = std::move(end);
            changed_.notify_all();
        }
        for (std::unique_ptr<Client>& client : clients_) {
            char buffer[65536];
            while (!client->gone) {
                const long got =
                    client->end->ReadSome(buffer, sizeof(buffer), kx::testing::Wait(0));
                if (got < 0) break;
                if (got == 0) {
                    client->gone = true;
                    changed_.notify_all();
                    break;
                }
                client->pending.append(buffer, static_cast<std::size_t>(got));
                CutFrames(*client);
            }
        }
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        lock.lock();
    }
}

void FakeLauncher::CutFrames(Client& client) {
    for (;;) {
        std::string& bytes = client.pending;
        if (bytes.size() < 4) return;
        const std::size_t length =
            (static_cast<std::size_t>(static_cast<unsigned char>(bytes[0])) << 24) |
            (static_cast<std::size_t>(static_cast<unsigned char>(bytes[1])) << 16) |
            (static_cast<std::size_t>(static_cast<unsigned char>(bytes[2])) << 8) |
            static_cast<std::size_t>(static_cast<unsigned char>(bytes[3]));
        if (bytes.size() < 4 + length) return;
        frames_.push_back(bytes.substr(0, 4 + length));
        bytes.erase(0, 4 + length);
        changed_.notify_all();
    }
}

bool FakeLauncher::NextRequest(wire::Req* request, std::string* frame) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_until(lock, Deadline(kWaitMilliseconds),
                             [this] { return !frames_.empty(); })) {
        return false;
    }
    return TakeRequest(request, frame);
}

bool FakeLauncher::TryNextRequest(wire::Req* request, std::string* frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    return !frames_.empty() && TakeRequest(request, frame);
}

bool FakeLauncher::TakeRequest(wire::Req* request, std::string* frame) {
    const std::string bytes = frames_.front();
    frames_.pop_front();
    if (frame != nullptr) *frame = bytes;
    return request->ParseFromArray(bytes.data() + 4, static_cast<int>(bytes.size() - 4));
}

bool FakeLauncher::NoRequestWithin(int milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !changed_.wait_until(lock, Deadline(milliseconds), [this] { return !frames_.empty(); });
}

bool FakeLauncher::SendBytes(const std::string& bytes) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_until(lock, Deadline(kWaitMilliseconds),
                             [this] { return !clients_.empty(); })) {
        return false;
    }
    return clients_.back()->end->WriteAll(bytes.data(), bytes.size());
}

int FakeLauncher::ClientCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(clients_.size());
}

void FakeLauncher::DropClient() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (clients_.empty()) return;
    clients_.back()->end->Close();
    clients_.back()->gone = true;
}

bool FakeLauncher::WaitClientGone() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_until(lock, Deadline(kWaitMilliseconds),
                               [this] { return !clients_.empty() && clients_.back()->gone; });
}

}  // namespace testing
}  // namespace kx
