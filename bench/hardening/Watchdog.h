#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace kx {
namespace bench {

// Runs an action on a thread of its own when it is not disarmed in time: how a measurement of
// a call that may block for good still ends (the action breaks what the call waits for).
// Armed and disarmed by one thread.
class Watchdog {
public:
    // Runs `onExpiry` once `limit` has passed, unless Disarm comes first.
    Watchdog(std::chrono::milliseconds limit, std::function<void()> onExpiry);
    // Disarms.
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Stops the watch (waiting for a running action to finish); true when the action ran.
    bool Disarm();

private:
    std::mutex lock_;
    std::condition_variable wake_;
    bool disarmed_ = false;
    bool expired_ = false;
    std::thread thread_;
};

}  // namespace bench
}  // namespace kx
