#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "kx/common/Event.h"
#include "kx/common/Functor.h"
#include "kx/common/IntrusivePtrBase.h"
#include "kx/common/SignalLoop.h"
#include "kx/testing/PipeEnd.h"

namespace kx {
namespace testing {

// Polls `condition` every millisecond for at most `milliseconds`; returns its last value.
inline bool WaitUntil(const std::function<bool()>& condition, int milliseconds = 10000) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Returns once every handler posted to the signal loop before the call has run.
inline void DrainSignalLoop() {
    class SetEvent : public kx::common::Functor {
    public:
        explicit SetEvent(kx::common::Event* event) : event_(event) {}
        void Run() override { event_->Set(); }

    private:
        kx::common::Event* event_;
    };
    kx::common::Event done;
    kx::common::SignalLoop::Instance()->Post(new SetEvent(&done));
    done.Wait();
}

// Counts the notifications of the four socket signals (handlers run on the signal loop).
class SignalCounter : public kx::common::IntrusivePtrBase<SignalCounter> {
public:
    void OnClosed() { ++closed; }
    void OnConnected() { ++connected; }
    void OnSent() { ++sent; }
    void OnReceived() { ++received; }

    std::atomic<int> closed{0};
    std::atomic<int> connected{0};
    std::atomic<int> sent{0};
    std::atomic<int> received{0};
};

// Stops the test program with a message if it is still armed after `seconds`: a deadlock
// fails the test instead of hanging the run.
class Watchdog {
public:
    Watchdog(const char* what, int seconds)
        : thread_([this, what, seconds] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!condition_.wait_for(lock, std::chrono::seconds(seconds),
                                       [this] { return done_; })) {
                  std::fprintf(stderr, "Watchdog: %s did not finish within %d s\n", what, seconds);
                  std::fflush(stderr);
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        condition_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable condition_;
    bool done_ = false;
    std::thread thread_;
};

// Reads one frame's body from `end`; false at end of stream.
inline bool ReadFrame(kx::testing::PipeEnd& end, std::string* body) {
    unsigned char prefix[4];
    if (!end.ReadExact(prefix, 4, kx::testing::kPatience)) return false;
    const uint32_t size = (static_cast<uint32_t>(prefix[0]) << 24) |
                          (static_cast<uint32_t>(prefix[1]) << 16) |
                          (static_cast<uint32_t>(prefix[2]) << 8) | prefix[3];
    body->resize(size);
    return size == 0 || end.ReadExact(&(*body)[0], size, kx::testing::kPatience);
}

}  // namespace testing
}  // namespace kx
