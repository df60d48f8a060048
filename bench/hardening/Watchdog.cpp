#include "hardening/Watchdog.h"

#include <utility>

namespace kx {
namespace bench {

Watchdog::Watchdog(std::chrono::milliseconds limit, std::function<void()> onExpiry) {
    thread_ = std::thread([this, limit, action = std::move(onExpiry)] {
        std::unique_lock<std::mutex> hold(lock_);
        if (wake_.wait_for(hold, limit, [this] { return disarmed_; })) return;
        expired_ = true;
        hold.unlock();
        action();
    });
}

Watchdog::~Watchdog() {
    Disarm();
}

bool Watchdog::Disarm() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        disarmed_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> hold(lock_);
    return expired_;
}

}  // namespace bench
}  // namespace kx
