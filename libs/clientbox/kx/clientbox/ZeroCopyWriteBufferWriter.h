#pragma once

#include <google/protobuf/io/zero_copy_stream.h>

#include <cstdint>

#include "kx/clientbox/Buffer.h"
#include "kx/common/SharedPtr.h"

namespace kx {
namespace clientbox {

// Lets the protobuf serializer write straight into a chain of new buffers: each Next hands out
// the whole free region of the current buffer (a new one when it is full), and BackUp gives
// back the unused end. The chain holds exactly the bytes written, 4096 per buffer except the
// last; it stays filling until its owner seals it.
// Threads: used by one thread.
class ZeroCopyWriteBufferWriter : public google::protobuf::io::ZeroCopyOutputStream {
public:
    // Starts a chain of one empty buffer.
    ZeroCopyWriteBufferWriter();

    ZeroCopyWriteBufferWriter(const ZeroCopyWriteBufferWriter&) = delete;
    ZeroCopyWriteBufferWriter& operator=(const ZeroCopyWriteBufferWriter&) = delete;

    // Hands out a free region (never fails) and counts it as written.
    bool Next(void** data, int* size) override;
    // Gives back the last `count` bytes of the region of the directly preceding Next.
    void BackUp(int count) override;
    // Bytes written so far.
    int64_t ByteCount() const override { return byteCount_; }

    // The first buffer of the chain. The chain outlives the writer while someone holds it.
    const common::SharedPtr<Buffer>& GetFirst() const { return first_; }

private:
    int64_t byteCount_;
    common::SharedPtr<Buffer> first_;
    common::SharedPtr<Buffer> current_;
};

}  // namespace clientbox
}  // namespace kx
