#include "kx/devlauncher/SlotLocks.h"

namespace kx {
namespace devlauncher {

bool SlotLocks::TryLockRead(ClientId client, SlotKey slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    Holders& holders = slots_[slot];
    if (holders.written) {
        return false;
    }
    ++holders.readers[client];
    return true;
}

bool SlotLocks::TryLockWrite(ClientId client, SlotKey slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = slots_.find(slot);
    if (found != slots_.end()) {
        return false;
    }
    Holders& holders = slots_[slot];
    holders.written = true;
    holders.writer = client;
    return true;
}

bool SlotLocks::UnlockRead(ClientId client, SlotKey slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = slots_.find(slot);
    if (found == slots_.end()) {
        return false;
    }
    const auto reader = found->second.readers.find(client);
    if (reader == found->second.readers.end()) {
        return false;
    }
    if (--reader->second == 0) {
        found->second.readers.erase(reader);
    }
    if (found->second.readers.empty() && !found->second.written) {
        slots_.erase(found);
    }
    return true;
}

bool SlotLocks::UnlockWrite(ClientId client, SlotKey slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = slots_.find(slot);
    if (found == slots_.end() || !found->second.written || found->second.writer != client) {
        return false;
    }
    slots_.erase(found);  // a written slot has no readers
    return true;
}

bool SlotLocks::HoldsRead(ClientId client, SlotKey slot) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = slots_.find(slot);
    return found != slots_.end() && found->second.readers.count(client) != 0;
}

bool SlotLocks::HoldsWrite(ClientId client, SlotKey slot) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = slots_.find(slot);
    return found != slots_.end() && found->second.written && found->second.writer == client;
}

void SlotLocks::ReleaseAll(ClientId client) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = slots_.begin(); it != slots_.end();) {
        Holders& holders = it->second;
        if (holders.written && holders.writer == client) {
            holders.written = false;
        }
        holders.readers.erase(client);
        it = (!holders.written && holders.readers.empty()) ? slots_.erase(it) : std::next(it);
    }
}

}  // namespace devlauncher
}  // namespace kx
