#include "StandInSocket.h"

#include "kx/common/ScopedLock.h"

namespace kx {
namespace fuzz {

using clientbox::Buffer;
using common::ScopedLock;
using common::SharedPtr;

void StandInSocket::Push(const std::uint8_t* data, std::size_t length) {
    if (IsClosed()) return;
    ScopedLock guard(&lock_);
    while (length > 0) {
        SharedPtr<Buffer> buffer(new Buffer);
        const unsigned taken = buffer->Write(
            data, length < Buffer::kSize ? static_cast<unsigned>(length) : Buffer::kSize);
        buffer->Seal();
        data += taken;
        length -= taken;
        Buffer* added = buffer.Get();
        if (last_ == nullptr) {
            received_ = buffer;
        } else {
            last_->SetNext(buffer);
        }
        last_ = added;
    }
}

void StandInSocket::Send(SharedPtr<Buffer>& chain) {
    if (!chain) return;
    chain.Reset();
    sends_.Increment();
}

void StandInSocket::Close() {
    if (closed_.CompareExchange(1, 0) != 0) return;
    SignalClosed.Emit();
}

SharedPtr<Buffer> StandInSocket::Receive() {
    ScopedLock guard(&lock_);
    SharedPtr<Buffer> chain = received_;
    received_.Reset();
    last_ = nullptr;
    return chain;
}

}  // namespace fuzz
}  // namespace kx
