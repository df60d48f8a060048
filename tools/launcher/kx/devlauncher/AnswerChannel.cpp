#include "kx/devlauncher/AnswerChannel.h"

#include <chrono>
#include <thread>

#include "kx/devlauncher/Frame.h"
#include "kx/devlauncher/MessageText.h"

namespace kx {
namespace devlauncher {

namespace pb = protocol::halyxdll;

namespace {

// Never a valid message: the first key is a varint that runs past ten bytes.
const std::string kGarbageBody(16, '\xFF');

}  // namespace

AnswerChannel::AnswerChannel(ByteWriter& writer, const FaultOptions& faults, EventLog& log,
                             std::string who)
    : writer_(writer),
      faults_(faults),
      log_(log),
      who_(std::move(who)),
      closing_(faults.closeAfter && *faults.closeAfter == 0) {}

void AnswerChannel::BeginRequest(const pb::Req& req) {
    readRange_ = req.has_readsavegame() ? req.readsavegame().numbytes() : 0;
}

bool AnswerChannel::Send(const pb::Rsp& rsp) {
    if (closing_ || failed_) {
        return false;
    }
    if (faults_.delayMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(faults_.delayMs));
    }
    const MalformedAnswer malformed =
        sent_ >= faults_.malformedAfter ? faults_.malformed : MalformedAnswer::kNone;
    std::string frame;
    std::string text;
    switch (malformed) {
        case MalformedAnswer::kZeroLength:
            frame.assign(kFrameHeaderSize, '\0');
            text = "(fault: zero-length frame in place of " + DescribeAnswer(rsp) + ")";
            break;
        case MalformedAnswer::kGarbage:
            frame = FrameBody(kGarbageBody);
            text = "(fault: garbage body in place of " + DescribeAnswer(rsp) + ")";
            break;
        case MalformedAnswer::kNoSlot: {
            pb::Rsp bare;
            bare.set_requestid(rsp.requestid());
            EncodeFrame(bare, &frame);
            text = DescribeAnswer(bare) + " (fault: in place of " + DescribeAnswer(rsp) + ")";
            break;
        }
        case MalformedAnswer::kReadOutside:
            if (rsp.has_readsavegame()) {
                pb::Rsp moved = rsp;
                pb::ReadSavegameRsp* part = moved.mutable_readsavegame();
                part->set_requestoffset(part->requestoffset() + readRange_);
                EncodeFrame(moved, &frame);
                text = DescribeAnswer(moved) + " (fault: outside the requested range)";
                break;
            }
            [[fallthrough]];
        case MalformedAnswer::kNone:
            EncodeFrame(rsp, &frame);
            text = DescribeAnswer(rsp);
            break;
    }
    if (frame.empty()) {
        log_.Line(who_ + "cannot encode " + DescribeAnswer(rsp) + "; closing the connection");
        failed_ = true;
        return false;
    }
    log_.Detail(who_ + "-> " + text);
    if (!Write(frame)) {
        failed_ = true;
        return false;
    }
    ++sent_;
    if (faults_.closeAfter && sent_ >= *faults_.closeAfter) {
        log_.Detail(who_ + "closing after " + std::to_string(sent_) + " answer(s) (fault)");
        closing_ = true;
    }
    return true;
}

bool AnswerChannel::Write(const std::string& frame) {
    if (!faults_.byteWrites) {
        return writer_.Write(frame.data(), frame.size());
    }
    for (char byte : frame) {
        if (!writer_.Write(&byte, 1)) {
            return false;
        }
    }
    return true;
}

}  // namespace devlauncher
}  // namespace kx
