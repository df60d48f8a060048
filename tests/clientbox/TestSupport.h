#pragma once

#include <google/protobuf/message_lite.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kx/common/Event.h"
#include "kx/common/Functor.h"
#include "kx/common/IntrusivePtrBase.h"
#include "kx/common/SignalLoop.h"
#include "kx/logger/Logger.h"
#include "kx/logger/LoggerBackend.h"
#include "kx/testing/PipeEnd.h"

namespace clientbox_test {

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

// One record that reached logger 0.
struct LoggedLine {
    int level;
    std::string file;
    int line;
    std::string text;
};

// A sink on logger 0 (threshold raised to debug) that keeps every record; registered once per
// process, since loggers are never destroyed.
class CapturedLog : public kx::common::LoggerBackend {
public:
    static CapturedLog& Get() {
        static CapturedLog* log = [] {
            CapturedLog* created = new CapturedLog;
            kx::common::Logger::Get(0).SetThreshold(kx::common::kLogDebug);
            kx::common::Logger::Get(0).AddBackend(created);
            return created;
        }();
        return *log;
    }

    void write(int level, const char* file, int line, const char* text) override {
        std::lock_guard<std::mutex> guard(mutex_);
        lines_.push_back(LoggedLine{level, file, line, text});
    }
    void flush() override {}
    void output(const char*) override {}

    void Clear() {
        std::lock_guard<std::mutex> guard(mutex_);
        lines_.clear();
    }
    // Records whose text contains `part`.
    std::vector<LoggedLine> Matching(const std::string& part) {
        std::lock_guard<std::mutex> guard(mutex_);
        std::vector<LoggedLine> found;
        for (const LoggedLine& line : lines_) {
            if (line.text.find(part) != std::string::npos) found.push_back(line);
        }
        return found;
    }

private:
    CapturedLog() : LoggerBackend(false, true, 0) {}
    std::mutex mutex_;
    std::vector<LoggedLine> lines_;
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

// The frame of `message` as it travels on the pipe: 4-byte big-endian length, then the body.
inline std::string Frame(const std::string& body) {
    const uint32_t size = static_cast<uint32_t>(body.size());
    std::string frame;
    frame.push_back(static_cast<char>(size >> 24));
    frame.push_back(static_cast<char>(size >> 16));
    frame.push_back(static_cast<char>(size >> 8));
    frame.push_back(static_cast<char>(size));
    return frame + body;
}

inline std::string Frame(const google::protobuf::MessageLite& message) {
    return Frame(message.SerializeAsString());
}

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

}  // namespace clientbox_test
