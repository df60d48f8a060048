#pragma once

#include <string>

#include "HalyxDll.pb.h"
#include "kx/testing/PipeEnd.h"

namespace kx {
namespace bench {

// Answers the library's requests on one launcher connection, as fast as it can: login details
// (those of PeerContract.h), the server pipe (refused: the bench opens the connection with it
// and needs no server), opening savegames (always granted), reads (in parts of the size the
// slot names, the data written straight from the savegame image), writes (all bytes taken) and
// writer closes. Other requests go unanswered. A Behaviour other than kServe makes it a
// misbehaving launcher, for measuring what that costs the game. One thread per connection.
class LauncherService {
public:
    enum class Behaviour {
        kServe,
        // Before its first login answer, streams kGarbageBytes of 5-byte frames whose body
        // never parses, as fast as the game takes them.
        kGarbage,
        // Answers a savegame list request with the largest list one frame holds: a 64 MiB body
        // of minimal entries (empty name, slot 1, size 0).
        kLargeList,
        // Stops reading for good once it has granted a writer.
        kStallAfterWriter,
    };
    static constexpr uint32_t kGarbageBytes = 3u << 20;

    // The behaviour named on the peer's command line ("serve", "garbage", "large-list",
    // "stall"); false for another name.
    static bool ParseBehaviour(const char* name, Behaviour* behaviour);

    // `channel` and `savegame` (kSavegameSize bytes) must outlive the service.
    LauncherService(testing::PipeEnd* channel, const unsigned char* savegame,
                    Behaviour behaviour = Behaviour::kServe);
    LauncherService(const LauncherService&) = delete;
    LauncherService& operator=(const LauncherService&) = delete;

    // Serves until the client closes, a write fails or a frame is not a Req.
    void Run();

private:
    // Answers `request_`; false when the channel failed.
    bool Answer();
    // Writes `answer_` as one frame.
    bool SendAnswer();
    bool SendReadParts(const protocol::halyxdll::ReadSavegameReq& read);
    bool SendGarbage();
    bool SendLargeList();

    testing::PipeEnd* channel_;
    const unsigned char* savegame_;
    Behaviour behaviour_;
    bool misbehaved_ = false;
    // Reused from request to request, so steady serving allocates nothing.
    std::string body_;
    std::string frame_;
    protocol::halyxdll::Req request_;
    protocol::halyxdll::Rsp answer_;
};

}  // namespace bench
}  // namespace kx
