#include <pthread.h>

#include <gtest/gtest.h>

#include "kx/clientbox/Buffer.h"
#include "kx/clientbox/MemoryStream.h"

namespace {

using kx::clientbox::Buffer;
using kx::clientbox::MemoryStream;
using kx::common::SharedPtr;

constexpr unsigned kLinks = 6000;  // about 24 MiB of buffers
constexpr size_t kSmallStack = 256 * 1024;

void* FillAndDropStream(void*) {
    MemoryStream* stream = new MemoryStream;
    for (unsigned i = 0; i < kLinks; ++i) {
        SharedPtr<Buffer> buffer(new Buffer);
        buffer->Write("x", 1);
        buffer->Seal();
        stream->Append(buffer);
    }
    delete stream;
    return nullptr;
}

// A peer can make the connection buffer up to 64 MiB (16384 buffers) before it closes; dropping
// that chain must not need stack in proportion to its length.
TEST(LongChainReleaseTest, DroppingAVeryLongChainFitsInASmallStack) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, kSmallStack), 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attributes, &FillAndDropStream, nullptr), 0);
    pthread_attr_destroy(&attributes);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
}

}  // namespace
