#include "kx/devlauncher/ThreadGroup.h"

namespace kx {
namespace devlauncher {

ThreadGroup::~ThreadGroup() {
    JoinAll();
}

void ThreadGroup::Start(std::function<void()> work) {
    std::list<Worker> finished;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = workers_.begin(); it != workers_.end();) {
            const auto next = std::next(it);
            if (it->done->load()) {
                finished.splice(finished.end(), workers_, it);
            }
            it = next;
        }
        auto done = std::make_shared<std::atomic<bool>>(false);
        workers_.push_back(Worker{std::thread([work = std::move(work), done] {
                                      work();
                                      done->store(true);
                                  }),
                                  done});
    }
    for (Worker& worker : finished) {
        worker.thread.join();
    }
}

void ThreadGroup::JoinAll() {
    std::list<Worker> all;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        all.swap(workers_);
    }
    for (Worker& worker : all) {
        worker.thread.join();
    }
}

}  // namespace devlauncher
}  // namespace kx
