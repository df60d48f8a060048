#include "kx/devlauncher/Frame.h"

#include <google/protobuf/message_lite.h>

namespace kx {
namespace devlauncher {

std::string FrameBody(const std::string& body) {
    const auto size = static_cast<std::uint32_t>(body.size());
    std::string frame;
    frame.reserve(kFrameHeaderSize + body.size());
    frame.push_back(static_cast<char>(size >> 24));
    frame.push_back(static_cast<char>(size >> 16));
    frame.push_back(static_cast<char>(size >> 8));
    frame.push_back(static_cast<char>(size));
    frame += body;
    return frame;
}

bool EncodeFrame(const google::protobuf::MessageLite& message, std::string* frame) {
    frame->clear();
    const std::size_t size = message.ByteSizeLong();
    if (size == 0 || size > kMaxFrameBody || !message.IsInitialized()) {
        return false;
    }
    std::string body;
    if (!message.SerializeToString(&body)) {
        return false;
    }
    *frame = FrameBody(body);
    return true;
}

void FrameReader::Append(const char* data, std::size_t size) {
    // Drop what was returned before growing, so a long conversation does not pile up bytes.
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    buffer_.append(data, size);
}

FrameReader::Status FrameReader::Next(std::string* body) {
    if (broken_ != Status::kNeedMore) {
        return broken_;
    }
    if (Buffered() < kFrameHeaderSize) {
        return Status::kNeedMore;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(buffer_.data() + start_);
    const std::uint32_t size = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                               (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
    if (size == 0) {
        return broken_ = Status::kZeroLength;
    }
    if (size > kMaxFrameBody) {
        return broken_ = Status::kTooLarge;
    }
    if (Buffered() - kFrameHeaderSize < size) {
        return Status::kNeedMore;
    }
    body->assign(buffer_, start_ + kFrameHeaderSize, size);
    start_ += kFrameHeaderSize + size;
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    }
    return Status::kFrame;
}

}  // namespace devlauncher
}  // namespace kx
