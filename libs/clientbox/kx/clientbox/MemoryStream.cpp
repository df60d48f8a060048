#include "kx/clientbox/MemoryStream.h"

#include "kx/common/Contract.h"
#include "kx/common/ScopedLock.h"

namespace kx {
namespace clientbox {

using common::ScopedLock;
using common::SharedPtr;

MemoryStream::MemoryStream() : size_(0), consumedSinceMark_(0) {
    Reset();
}

MemoryStream::~MemoryStream() {}

void MemoryStream::Reset() {
    ScopedLock guard(&lock_);
    SharedPtr<Buffer> empty(new Buffer);
    empty->Seal();
    head_ = empty;
    tail_ = empty;
    mark_.Reset();
    size_ = 0;
    consumedSinceMark_ = 0;
}

void MemoryStream::Append(const SharedPtr<Buffer>& chain) {
    if (!chain) return;
    ScopedLock guard(&lock_);
    tail_->SetNext(chain);
    // Each buffer's read mark starts where its unread bytes start, so that a Rewind never
    // brings back bytes that were read before the chain was appended.
    const SharedPtr<Buffer>* last = &chain;
    for (;;) {
        (*last)->MarkReadPosition();
        size_ += (*last)->Remaining();
        if (!(*last)->GetNext()) break;
        last = &(*last)->GetNext();
    }
    tail_ = *last;
}

SharedPtr<Buffer> MemoryStream::TakeAll() {
    ScopedLock guard(&lock_);
    SharedPtr<Buffer> taken = head_;
    Reset();
    while (taken && taken->Remaining() == 0) taken = taken->GetNext();
    return taken;
}

unsigned MemoryStream::Read(void* destination, unsigned count) {
    return Take(destination, count, true);
}

unsigned MemoryStream::Skip(unsigned count) {
    return Take(nullptr, count, true);
}

unsigned MemoryStream::Peek(void* destination, unsigned count) {
    return Take(destination, count, false);
}

unsigned MemoryStream::Write(const void* source, unsigned count) {
    KX_CHECK(count > 0);
    const unsigned char* bytes = static_cast<const unsigned char*>(source);
    SharedPtr<Buffer> first(new Buffer);
    Buffer* current = first.Get();
    unsigned written = current->Write(bytes, count);
    while (written < count) {
        current = current->LinkNewBuffer();
        written += current->Write(bytes + written, count - written);
    }
    first->Seal();
    Append(first);
    return count;
}

unsigned MemoryStream::GetReadRegion(const unsigned char** region) {
    // Assigning takes the successor's reference before head's own goes.
    while (head_->Remaining() == 0 && head_->GetNext()) head_ = head_->GetNext();
    // A reader that asks for a region usually reads it at once and then asks for the next.
    if (const Buffer* next = head_->GetNext().Get()) next->Prefetch();
    return head_->GetReadRegion(region);
}

void MemoryStream::ConsumeReadRegion(unsigned count) {
    KX_CHECK(head_->Read(nullptr, count, false) == count);
    size_ -= count;
    consumedSinceMark_ += count;
}

void MemoryStream::Mark() {
    mark_ = head_;
    head_->MarkReadPosition();
    consumedSinceMark_ = 0;
}

void MemoryStream::Rewind() {
    KX_CHECK(mark_);
    // Buffers after head have not been read since the mark was taken, so the walk ends there.
    for (Buffer* buffer = mark_.Get(); buffer != nullptr; buffer = buffer->GetNext().Get()) {
        buffer->RewindReadPosition();
        if (buffer == head_.Get()) break;
    }
    head_ = mark_;
    size_ += consumedSinceMark_;
    consumedSinceMark_ = 0;
}

void MemoryStream::ClearMark() {
    mark_.Reset();
}

unsigned MemoryStream::Take(void* destination, unsigned count, bool consume) {
    ScopedLock guard(&lock_);
    unsigned char* out = static_cast<unsigned char*>(destination);
    unsigned taken = 0;
    const SharedPtr<Buffer>* link = &head_;
    const SharedPtr<Buffer>* last = link;
    while (*link && taken < count) {
        last = link;
        taken += (*link)->Read(out != nullptr ? out + taken : nullptr, count - taken, !consume);
        link = &(*link)->GetNext();
    }
    if (consume) {
        size_ -= taken;
        consumedSinceMark_ += taken;
    }
    // `last` lies in the chain that head keeps alive: assigning takes its reference first.
    if (consume && last != &head_) head_ = *last;
    return taken;
}

}  // namespace clientbox
}  // namespace kx
