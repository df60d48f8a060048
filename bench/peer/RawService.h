#pragma once

#include <vector>

#include "kx/testing/PipeEnd.h"

namespace kx {
namespace bench {

// Serves the baselines on one raw connection: reads RawCommands one after the other and
// carries each out (see PeerContract.h). One thread per connection.
class RawService {
public:
    // `channel` and `savegame` (kSavegameSize bytes) must outlive the service.
    RawService(testing::PipeEnd* channel, const unsigned char* savegame);
    RawService(const RawService&) = delete;
    RawService& operator=(const RawService&) = delete;

    // Serves until the client closes, a transfer fails or a command is unknown.
    void Run();

private:
    bool Stream(uint32_t total, uint32_t chunk);
    bool Sink(uint32_t total, uint32_t chunk);
    // Returns when the client closes.
    void PingPong(uint32_t requestSize, uint32_t replySize);

    testing::PipeEnd* channel_;
    const unsigned char* savegame_;
    std::vector<unsigned char> scratch_;
};

}  // namespace bench
}  // namespace kx
