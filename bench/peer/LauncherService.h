#pragma once

#include <string>

#include "HalyxDll.pb.h"
#include "shared/Channel.h"

namespace kx {
namespace bench {

// Answers the library's requests on one launcher connection, as fast as it can: login details
// (those of PeerContract.h), the server pipe (refused: the bench opens the connection with it
// and needs no server), opening savegames (always granted), reads (in parts of the size the
// slot names, the data written straight from the savegame image), writes (all bytes taken) and
// writer closes. Other requests go unanswered. One thread per connection.
class LauncherService {
public:
    // `channel` and `savegame` (kSavegameSize bytes) must outlive the service.
    LauncherService(Channel* channel, const unsigned char* savegame);
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

    Channel* channel_;
    const unsigned char* savegame_;
    // Reused from request to request, so steady serving allocates nothing.
    std::string body_;
    std::string frame_;
    protocol::halyxdll::Req request_;
    protocol::halyxdll::Rsp answer_;
};

}  // namespace bench
}  // namespace kx
