#include "kx/clientbox/ZeroCopyMemoryStreamReader.h"

#include "kx/common/Contract.h"

namespace kx {
namespace clientbox {

ZeroCopyMemoryStreamReader::ZeroCopyMemoryStreamReader(MemoryStream* stream, unsigned limit)
    : stream_(stream), remaining_(limit), byteCount_(0) {
    stream_->Mark();
}

ZeroCopyMemoryStreamReader::~ZeroCopyMemoryStreamReader() {
    stream_->ClearMark();
}

bool ZeroCopyMemoryStreamReader::Next(const void** data, int* size) {
    if (remaining_ == 0) return false;
    const unsigned char* region;
    unsigned count = stream_->GetReadRegion(&region);
    // GetReadRegion returns 0 only when nothing at all is unread.
    if (count == 0) return false;
    if (count > remaining_) count = remaining_;
    stream_->ConsumeReadRegion(count);
    remaining_ -= count;
    byteCount_ += count;
    *data = region;
    *size = static_cast<int>(count);
    return true;
}

void ZeroCopyMemoryStreamReader::BackUp(int count) {
    KX_CHECK(count >= 0 && count <= byteCount_);
    // Back to where this reader started, then forward over the bytes the caller keeps.
    stream_->Rewind();
    stream_->Skip(static_cast<unsigned>(byteCount_ - count));
    remaining_ += static_cast<unsigned>(count);
    byteCount_ -= count;
}

bool ZeroCopyMemoryStreamReader::Skip(int count) {
    KX_CHECK(count >= 0);
    const unsigned wanted = static_cast<unsigned>(count);
    const unsigned allowed = wanted < remaining_ ? wanted : remaining_;
    const unsigned skipped = stream_->Skip(allowed);
    remaining_ -= skipped;
    byteCount_ += skipped;
    return skipped == wanted;
}

}  // namespace clientbox
}  // namespace kx
