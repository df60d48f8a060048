#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace kx {
namespace devlauncher {

// Threads that run to their own end and are joined together, one per connection. Threads that
// have finished are joined whenever a new one starts, so a long-running launcher does not
// collect them.
//
// Any thread may call Start; mutex_ guards workers_. JoinAll must not race with Start.
class ThreadGroup {
public:
    ThreadGroup() = default;
    ~ThreadGroup();  // JoinAll
    ThreadGroup(const ThreadGroup&) = delete;
    ThreadGroup& operator=(const ThreadGroup&) = delete;

    // Runs `work` on a new thread.
    void Start(std::function<void()> work);

    // Waits until every started thread has ended.
    void JoinAll();

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    std::mutex mutex_;
    std::list<Worker> workers_;
};

}  // namespace devlauncher
}  // namespace kx
