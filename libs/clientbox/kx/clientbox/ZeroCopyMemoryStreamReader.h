#pragma once

#include <google/protobuf/io/zero_copy_stream.h>

#include <cstdint>

#include "kx/clientbox/MemoryStream.h"

namespace kx {
namespace clientbox {

// Lets the protobuf parser read straight out of a MemoryStream's buffers: each Next hands out
// the rest of one buffer, and BackUp returns to the mark the reader took when it was created and
// skips forward again, so the stream's read position ends exactly after the last byte the
// parser used. (The parser may give back more than the last region: when it stops early on
// bytes it had copied ahead from earlier regions.) An optional limit bounds how many
// bytes the reader hands out at all, so a parser can never take bytes beyond one frame.
// Threads: used by one thread, while the stream's owner serializes access to the stream (the
// message connection holds its lock for the reader's whole life).
class ZeroCopyMemoryStreamReader : public google::protobuf::io::ZeroCopyInputStream {
public:
    static constexpr unsigned kNoLimit = 0xFFFFFFFFu;

    // Reads from `stream`, which must outlive the reader, at most `limit` bytes.
    // Marks the stream's read position (the stream's one mark belongs to the reader while it
    // lives).
    explicit ZeroCopyMemoryStreamReader(MemoryStream* stream, unsigned limit = kNoLimit);
    // Clears the stream's mark.
    ~ZeroCopyMemoryStreamReader() override;

    ZeroCopyMemoryStreamReader(const ZeroCopyMemoryStreamReader&) = delete;
    ZeroCopyMemoryStreamReader& operator=(const ZeroCopyMemoryStreamReader&) = delete;

    // Hands out the unread rest of the stream's current buffer (within the limit) and consumes
    // it; false when the stream or the limit is exhausted.
    bool Next(const void** data, int* size) override;
    // Gives back the last `count` bytes handed out; `count` must not exceed ByteCount().
    void BackUp(int count) override;
    // Consumes up to `count` bytes; true when all of them were there.
    bool Skip(int count) override;
    // Bytes consumed through this reader so far.
    int64_t ByteCount() const override { return byteCount_; }

private:
    MemoryStream* stream_;
    unsigned remaining_;
    int64_t byteCount_;
};

}  // namespace clientbox
}  // namespace kx
