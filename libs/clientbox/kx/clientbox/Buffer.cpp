#include "kx/clientbox/Buffer.h"

#include <string.h>

#include "kx/common/Contract.h"

namespace kx {
namespace clientbox {

Buffer::Buffer() : mode_(kFilling), filled_(0), readPosition_(0), readMark_(0) {
    memset(data_, 0xAA, sizeof(data_));
}

Buffer::~Buffer() {
    memset(data_, 0xBB, sizeof(data_));
    // Unlink successors that only this chain holds before they die, so each one is destroyed
    // with no successor of its own. A shared successor cannot gain an owner meanwhile: nobody
    // else holds it, and a pool block is only reachable through its counter.
    common::SharedPtr<Buffer> link;
    link.Swap(next_);
    while (link && link.GetCounter()->GetCount() == 1) {
        common::SharedPtr<Buffer> after;
        after.Swap(link->next_);
        link.Swap(after);
    }
}

unsigned Buffer::GetWriteRegion(unsigned char** region) {
    KX_CHECK(mode_ == kFilling);
    *region = data_ + filled_;
    return kSize - filled_;
}

unsigned Buffer::Write(const void* source, unsigned count) {
    KX_CHECK(mode_ == kFilling);
    const unsigned taken = count < kSize - filled_ ? count : kSize - filled_;
    if (source != nullptr && taken != 0) memcpy(data_ + filled_, source, taken);
    filled_ += taken;
    return taken;
}

void Buffer::Unwrite(unsigned count) {
    KX_CHECK(mode_ == kFilling);
    KX_CHECK(count <= filled_);
    filled_ -= count;
}

unsigned Buffer::GetReadRegion(const unsigned char** region) const {
    KX_CHECK(mode_ == kSealed);
    *region = data_ + readPosition_;
    return filled_ - readPosition_;
}

unsigned Buffer::Read(void* destination, unsigned count, bool peek) {
    KX_CHECK(mode_ == kSealed);
    const unsigned unread = filled_ - readPosition_;
    const unsigned taken = count < unread ? count : unread;
    if (destination != nullptr && taken != 0) memcpy(destination, data_ + readPosition_, taken);
    if (!peek) readPosition_ += taken;
    return taken;
}

unsigned Buffer::Remaining() const {
    return mode_ == kSealed ? filled_ - readPosition_ : kSize - filled_;
}

void Buffer::Seal() {
    for (Buffer* buffer = this; buffer != nullptr; buffer = buffer->next_.Get()) {
        buffer->mode_ = kSealed;
    }
}

void Buffer::SetNext(const common::SharedPtr<Buffer>& chain) {
    KX_CHECK(!chain || chain->mode_ == mode_);
    next_ = chain;
}

Buffer* Buffer::LinkNewBuffer() {
    common::SharedPtr<Buffer> fresh(new Buffer);
    Buffer* added = fresh.Get();
    SwapNext(&fresh);
    return added;
}

void Buffer::Prefetch() const {
    constexpr unsigned kCacheLine = 64;
    const char* const bytes = reinterpret_cast<const char*>(this);
    for (unsigned offset = 0; offset < sizeof(Buffer); offset += kCacheLine) {
        __builtin_prefetch(bytes + offset);
    }
    __builtin_prefetch(bytes + sizeof(Buffer) - 1);
}

void Buffer::SwapNext(common::SharedPtr<Buffer>* chain) {
    KX_CHECK(!*chain || (*chain)->mode_ == mode_);
    next_.Swap(*chain);
}

}  // namespace clientbox
}  // namespace kx
