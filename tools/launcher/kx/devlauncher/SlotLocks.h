#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <tuple>

namespace kx {
namespace devlauncher {

// Identifies one connected client for as long as it stays connected.
using ClientId = std::uint64_t;

// A savegame slot of a product.
struct SlotKey {
    std::uint32_t productId = 0;
    std::uint32_t slotId = 0;

    bool operator<(const SlotKey& other) const {
        return std::tie(productId, slotId) < std::tie(other.productId, other.slotId);
    }
};

// Which clients hold which slots. A writer holds its slot alone; any number of readers (and
// one client several times) may share a slot that has no writer.
//
// Any thread may call any method; mutex_ guards slots_.
class SlotLocks {
public:
    // Adds a read hold of `client`. Returns false when a writer holds the slot.
    bool TryLockRead(ClientId client, SlotKey slot);

    // Makes `client` the slot's writer. Returns false when anyone holds the slot.
    bool TryLockWrite(ClientId client, SlotKey slot);

    // Drops one read hold of `client`. Returns false when it had none.
    bool UnlockRead(ClientId client, SlotKey slot);

    // Drops the write hold of `client`. Returns false when it is not the slot's writer.
    bool UnlockWrite(ClientId client, SlotKey slot);

    // Whether `client` holds the slot for reading, or for writing.
    bool HoldsRead(ClientId client, SlotKey slot) const;
    bool HoldsWrite(ClientId client, SlotKey slot) const;

    // Drops every hold of `client`, as when it disconnects.
    void ReleaseAll(ClientId client);

private:
    struct Holders {
        bool written = false;
        ClientId writer = 0;
        std::map<ClientId, unsigned> readers;  // read holds per client, never 0
    };

    mutable std::mutex mutex_;
    std::map<SlotKey, Holders> slots_;  // only slots that someone holds
};

}  // namespace devlauncher
}  // namespace kx
