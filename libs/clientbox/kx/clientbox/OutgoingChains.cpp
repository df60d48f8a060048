#include "kx/clientbox/OutgoingChains.h"

namespace kx {
namespace clientbox {

using common::SharedPtr;

void OutgoingChains::Push(const SharedPtr<Buffer>& chain) {
    Queued queued;
    queued.chain = chain;
    for (const Buffer* buffer = chain.Get(); buffer != nullptr; buffer = buffer->GetNext().Get()) {
        queued.size += buffer->Remaining();
    }
    queue_.PushBack(queued);
}

SharedPtr<Buffer> OutgoingChains::TakeNext() {
    const Queued first = queue_.PopFront();
    if (first.size > kOwnWriteBytes) return first.chain;
    Buffer* last = first.chain.Get();
    while (queue_.GetCount() != 0 && queue_.At(0).size <= kOwnWriteBytes) {
        while (last->GetNext()) last = last->GetNext().Get();
        last->SetNext(queue_.PopFront().chain);
    }
    return first.chain;
}

}  // namespace clientbox
}  // namespace kx
