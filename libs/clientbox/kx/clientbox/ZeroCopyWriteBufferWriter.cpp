#include "kx/clientbox/ZeroCopyWriteBufferWriter.h"

#include "kx/common/Contract.h"

namespace kx {
namespace clientbox {

using common::SharedPtr;

ZeroCopyWriteBufferWriter::ZeroCopyWriteBufferWriter()
    : byteCount_(0), first_(new Buffer), current_(first_) {}

bool ZeroCopyWriteBufferWriter::Next(void** data, int* size) {
    unsigned char* region;
    unsigned count = current_->GetWriteRegion(&region);
    if (count == 0) {
        current_->LinkNewBuffer();
        current_ = current_->GetNext();
        count = current_->GetWriteRegion(&region);
    }
    current_->Write(nullptr, count);
    byteCount_ += count;
    *data = region;
    *size = static_cast<int>(count);
    return true;
}

void ZeroCopyWriteBufferWriter::BackUp(int count) {
    KX_CHECK(count >= 0);
    current_->Unwrite(static_cast<unsigned>(count));
    byteCount_ -= count;
}

}  // namespace clientbox
}  // namespace kx
