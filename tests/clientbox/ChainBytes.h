#pragma once

#include <cstddef>
#include <vector>

#include "kx/clientbox/Buffer.h"
#include "kx/common/SharedPtr.h"

namespace kx {
namespace testing {

using kx::clientbox::Buffer;
using kx::common::SharedPtr;

// Byte i of a test pattern that starts at `seed`: distinct from its neighbours and from the
// same position of other seeds.
inline unsigned char PatternByte(unsigned seed, std::size_t i) {
    return static_cast<unsigned char>((i * 131u + seed * 7u + (i >> 8)) & 0xFF);
}

// A sealed chain with one buffer per entry of `sizes`, holding consecutive pattern bytes.
inline SharedPtr<Buffer> MakeChain(const std::vector<unsigned>& sizes, unsigned seed = 1) {
    SharedPtr<Buffer> first;
    Buffer* last = nullptr;
    std::size_t position = 0;
    std::vector<unsigned char> bytes;
    for (unsigned size : sizes) {
        SharedPtr<Buffer> buffer(new Buffer);
        bytes.resize(size);
        for (unsigned i = 0; i < size; ++i) bytes[i] = PatternByte(seed, position++);
        buffer->Write(bytes.data(), size);
        if (last == nullptr) {
            first = buffer;
        } else {
            last->SetNext(buffer);
        }
        last = buffer.Get();
    }
    if (first) first->Seal();
    return first;
}

// The unread bytes of a sealed chain, without consuming them.
inline std::vector<unsigned char> ChainBytes(const SharedPtr<Buffer>& chain) {
    std::vector<unsigned char> bytes;
    for (const Buffer* buffer = chain.Get(); buffer != nullptr; buffer = buffer->GetNext().Get()) {
        const unsigned char* region;
        const unsigned count = buffer->GetReadRegion(&region);
        bytes.insert(bytes.end(), region, region + count);
    }
    return bytes;
}

// The first `count` pattern bytes of `seed`.
inline std::vector<unsigned char> Pattern(std::size_t count, unsigned seed = 1) {
    std::vector<unsigned char> bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = PatternByte(seed, i);
    return bytes;
}

}  // namespace testing
}  // namespace kx
