#include "peer/LauncherService.h"

#include "peer/ReadPartFrame.h"
#include "shared/PeerContract.h"

namespace kx {
namespace bench {

namespace wire = protocol::halyxdll;

LauncherService::LauncherService(Channel* channel, const unsigned char* savegame)
    : channel_(channel), savegame_(savegame) {}

void LauncherService::Run() {
    for (;;) {
        unsigned char prefix[4];
        if (!channel_->ReadFull(prefix, sizeof(prefix))) return;
        const uint32_t length = (static_cast<uint32_t>(prefix[0]) << 24) |
                                (static_cast<uint32_t>(prefix[1]) << 16) |
                                (static_cast<uint32_t>(prefix[2]) << 8) | prefix[3];
        body_.resize(length);
        if (!channel_->ReadFull(&body_[0], length)) return;
        if (!request_.ParseFromString(body_)) return;
        if (!Answer()) return;
    }
}

bool LauncherService::Answer() {
    answer_.Clear();
    answer_.set_requestid(request_.requestid());
    if (request_.has_getlogindetails()) {
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
    } else if (request_.has_startwritesavegame()) {
        wire::StartWriteSavegameRsp* open = answer_.mutable_startwritesavegame();
        open->set_productid(request_.startwritesavegame().productid());
        open->set_slotid(request_.startwritesavegame().slotid());
        open->set_status(wire::StartWriteSavegameRsp::Ok);
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
        const Channel::Piece pieces[3] = {{frame.head, frame.headSize},
                                          {savegame_ + start + done, size},
                                          {frame.tail, frame.tailSize}};
        if (!channel_->WriteGather(pieces, 3)) return false;
        done += size;
        if (last) return true;
    }
}

}  // namespace bench
}  // namespace kx
