#include "peer/RawService.h"

#include "shared/PeerContract.h"

namespace kx {
namespace bench {

RawService::RawService(testing::PipeEnd* channel, const unsigned char* savegame)
    : channel_(channel), savegame_(savegame) {}

void RawService::Run() {
    for (;;) {
        unsigned char encoded[RawCommand::kEncodedSize];
        if (!channel_->ReadExact(encoded, sizeof(encoded), testing::kNoTimeLimit)) return;
        const RawCommand command = RawCommand::Decode(encoded);
        const uint32_t chunk = command.chunk != 0 ? command.chunk : 1;
        switch (command.kind) {
            case RawCommand::kStream:
                if (!Stream(command.total, chunk)) return;
                break;
            case RawCommand::kSink:
                if (!Sink(command.total, chunk)) return;
                break;
            case RawCommand::kPingPong:
                PingPong(chunk, command.reply);
                return;
            default:
                return;
        }
    }
}

bool RawService::Stream(uint32_t total, uint32_t chunk) {
    if (total > kSavegameSize) total = kSavegameSize;
    for (uint32_t done = 0; done < total;) {
        const uint32_t size = total - done < chunk ? total - done : chunk;
        if (!channel_->WriteAll(savegame_ + done, size)) return false;
        done += size;
    }
    return true;
}

bool RawService::Sink(uint32_t total, uint32_t chunk) {
    scratch_.resize(chunk);
    for (uint32_t left = total; left > 0;) {
        const long got =
            channel_->ReadSome(scratch_.data(), left < chunk ? left : chunk, testing::kNoTimeLimit);
        if (got <= 0) return false;
        left -= static_cast<uint32_t>(got);
    }
    const unsigned char done[4] = {0, 0, 0, 1};
    return channel_->WriteAll(done, sizeof(done));
}

void RawService::PingPong(uint32_t requestSize, uint32_t replySize) {
    std::vector<unsigned char> request(requestSize);
    const std::vector<unsigned char> reply(replySize, 0x5A);
    while (channel_->ReadExact(request.data(), request.size(), testing::kNoTimeLimit) &&
           channel_->WriteAll(reply.data(), reply.size())) {
    }
}

}  // namespace bench
}  // namespace kx
