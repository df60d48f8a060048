#include "peer/LauncherService.h"

#include <string.h>

#include <chrono>
#include <thread>
#include <vector>

#include "peer/ReadPartFrame.h"
#include "shared/PeerContract.h"

namespace kx {
namespace bench {

namespace wire = protocol::halyxdll;

namespace {

constexpr uint32_t kMaxFrameBody = 64u << 20;
// A list entry of the smallest encoding: field 1 holding a SavegameInfo with an empty name,
// slot 1 and size 0.
constexpr unsigned char kMinimalEntry[] = {0x0a, 0x06, 0x0a, 0x00, 0x10, 0x01, 0x18, 0x00};

void AppendVarint(std::string* out, uint32_t value) {
    for (; value >= 0x80; value >>= 7) out->push_back(static_cast<char>(value | 0x80));
    out->push_back(static_cast<char>(value));
}

}  // namespace

bool LauncherService::ParseBehaviour(const char* name, Behaviour* behaviour) {
    static const struct {
        const char* name;
        Behaviour behaviour;
    } kNames[] = {{"serve", Behaviour::kServe},
                  {"garbage", Behaviour::kGarbage},
                  {"large-list", Behaviour::kLargeList},
                  {"stall", Behaviour::kStallAfterWriter}};
    for (const auto& known : kNames) {
        if (strcmp(name, known.name) == 0) {
            *behaviour = known.behaviour;
            return true;
        }
    }
    return false;
}

LauncherService::LauncherService(testing::PipeEnd* channel, const unsigned char* savegame,
                                 Behaviour behaviour)
    : channel_(channel), savegame_(savegame), behaviour_(behaviour) {}

void LauncherService::Run() {
    for (;;) {
        unsigned char prefix[4];
        if (!channel_->ReadExact(prefix, sizeof(prefix), testing::kNoTimeLimit)) return;
        const uint32_t length = (static_cast<uint32_t>(prefix[0]) << 24) |
                                (static_cast<uint32_t>(prefix[1]) << 16) |
                                (static_cast<uint32_t>(prefix[2]) << 8) | prefix[3];
        body_.resize(length);
        if (!channel_->ReadExact(&body_[0], length, testing::kNoTimeLimit)) return;
        if (!request_.ParseFromString(body_)) return;
        if (!Answer()) return;
    }
}

bool LauncherService::Answer() {
    answer_.Clear();
    answer_.set_requestid(request_.requestid());
    if (request_.has_getlogindetails()) {
        if (behaviour_ == Behaviour::kGarbage && !misbehaved_ && !SendGarbage()) return false;
        wire::GetLoginDetailsRsp* login = answer_.mutable_getlogindetails();
        login->set_username(kUserName);
        login->set_password(kPassword);
        login->set_cdkey(kCdKey);
    } else if (request_.has_getosi()) {
        answer_.mutable_getosi()->set_status(wire::GetOsiRsp::Failed);
    } else if (request_.has_startreadsavegame()) {
        wire::StartReadSavegameRsp* open = answer_.mutable_startreadsavegame();
        open->set_productid(request_.startreadsavegame().productid());
        open->set_slotid(request_.startreadsavegame().slotid());
        open->set_status(wire::StartReadSavegameRsp::Ok);
    } else if (request_.has_readsavegame()) {
        return SendReadParts(request_.readsavegame());
    } else if (request_.has_listsavegames() && behaviour_ == Behaviour::kLargeList) {
        return SendLargeList();
    } else if (request_.has_startwritesavegame()) {
        wire::StartWriteSavegameRsp* open = answer_.mutable_startwritesavegame();
        open->set_productid(request_.startwritesavegame().productid());
        open->set_slotid(request_.startwritesavegame().slotid());
        open->set_status(wire::StartWriteSavegameRsp::Ok);
        if (behaviour_ == Behaviour::kStallAfterWriter) {
            if (!SendAnswer()) return false;
            // The connection stays open and unread; the process ends when the bench says so.
            for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
        }
    } else if (request_.has_writesavegame()) {
        wire::WriteSavegameRsp* write = answer_.mutable_writesavegame();
        write->set_status(wire::WriteSavegameRsp::Ok);
        write->set_byteswritten(static_cast<uint32_t>(request_.writesavegame().data().size()));
    } else if (request_.has_stopwritesavegame()) {
        answer_.mutable_stopwritesavegame();
    } else {
        return true;
    }
    return SendAnswer();
}

bool LauncherService::SendAnswer() {
    const uint32_t size = static_cast<uint32_t>(answer_.ByteSizeLong());
    frame_.resize(4);
    for (int i = 0; i < 4; ++i) frame_[i] = static_cast<char>(size >> (24 - 8 * i));
    answer_.AppendToString(&frame_);
    return channel_->WriteAll(frame_.data(), frame_.size());
}

bool LauncherService::SendGarbage() {
    misbehaved_ = true;
    // Length 1, body 0xFF: a field tag of an unfinished varint, which never parses.
    static const unsigned char kGarbageFrame[] = {0, 0, 0, 1, 0xff};
    constexpr uint32_t kFramesPerWrite = 13107;  // just under 64 KiB per write
    std::vector<unsigned char> chunk(kFramesPerWrite * sizeof(kGarbageFrame));
    for (uint32_t i = 0; i < kFramesPerWrite; ++i) {
        memcpy(&chunk[i * sizeof(kGarbageFrame)], kGarbageFrame, sizeof(kGarbageFrame));
    }
    for (uint32_t left = kGarbageBytes / sizeof(kGarbageFrame) * sizeof(kGarbageFrame); left > 0;) {
        const uint32_t size = left < chunk.size() ? left : static_cast<uint32_t>(chunk.size());
        if (!channel_->WriteAll(chunk.data(), size)) return false;
        left -= size;
    }
    return true;
}

bool LauncherService::SendLargeList() {
    std::string head;
    head.push_back(0x08);  // requestId
    AppendVarint(&head, request_.requestid());
    head.push_back(0x2a);  // listSavegames
    const uint32_t headRoom = static_cast<uint32_t>(head.size()) + 5;
    const uint32_t entries = (kMaxFrameBody - headRoom) / sizeof(kMinimalEntry);
    AppendVarint(&head, entries * static_cast<uint32_t>(sizeof(kMinimalEntry)));
    std::string frame(4, '\0');
    frame += head;
    frame.reserve(frame.size() + entries * sizeof(kMinimalEntry));
    for (uint32_t i = 0; i < entries; ++i) {
        frame.append(reinterpret_cast<const char*>(kMinimalEntry), sizeof(kMinimalEntry));
    }
    const uint32_t body = static_cast<uint32_t>(frame.size() - 4);
    for (int i = 0; i < 4; ++i) frame[i] = static_cast<char>(body >> (24 - 8 * i));
    return channel_->WriteAll(frame.data(), frame.size());
}

bool LauncherService::SendReadParts(const wire::ReadSavegameReq& read) {
    // The range is cut to the savegame; a range past its end gets one empty last part.
    const uint32_t start = read.offset() < kSavegameSize ? read.offset() : kSavegameSize;
    const uint32_t room = kSavegameSize - start;
    const uint32_t count = read.numbytes() < room ? read.numbytes() : room;
    const uint32_t partSize =
        PartSizeOfSlot(read.slotid()) != 0 ? PartSizeOfSlot(read.slotid()) : count;
    uint32_t done = 0;
    for (;;) {
        const uint32_t size = count - done < partSize ? count - done : partSize;
        const bool last = done + size == count;
        const ReadPartFrame frame(request_.requestid(), done, size, last);
        // One write call per frame, as the raw stream writes one per part: where pipes take no
        // gathered writes, three calls would bring the library one piece of a part per read.
        // Where they do, the data goes out from the image, as the raw stream's parts do.
        const testing::PipeEnd::Piece pieces[] = {{frame.head, frame.headSize},
                                                  {savegame_ + start + done, size},
                                                  {frame.tail, frame.tailSize}};
        if (!channel_->WriteAllGathered(pieces, 3)) return false;
        done += size;
        if (last) return true;
    }
}

}  // namespace bench
}  // namespace kx
