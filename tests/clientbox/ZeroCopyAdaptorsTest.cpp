#include <gtest/gtest.h>

#include <google/protobuf/io/coded_stream.h>

#include <string>
#include <vector>

#include "ChainBytes.h"
#include "HalyxDll.pb.h"
#include "kx/clientbox/MemoryStream.h"
#include "kx/clientbox/ZeroCopyMemoryStreamReader.h"
#include "kx/clientbox/ZeroCopyWriteBufferWriter.h"

namespace {

using kx::clientbox::Buffer;
using kx::clientbox::MemoryStream;
using kx::clientbox::ZeroCopyMemoryStreamReader;
using kx::clientbox::ZeroCopyWriteBufferWriter;
using kx::common::SharedPtr;
using kx::testing::ChainBytes;
using kx::testing::MakeChain;
using kx::testing::Pattern;

TEST(ZeroCopyMemoryStreamReaderTest, NextHandsOutOneBufferAtATimeWithoutCopying) {
    MemoryStream stream;
    SharedPtr<Buffer> chain = MakeChain({3, 7});
    const unsigned char* secondBytes;
    chain->GetNext()->GetReadRegion(&secondBytes);
    stream.Append(chain);
    ZeroCopyMemoryStreamReader reader(&stream);
    const void* data;
    int size;
    ASSERT_TRUE(reader.Next(&data, &size));
    EXPECT_EQ(size, 3);
    ASSERT_TRUE(reader.Next(&data, &size));
    EXPECT_EQ(size, 7);
    EXPECT_EQ(data, secondBytes);
    EXPECT_FALSE(reader.Next(&data, &size));
    EXPECT_EQ(reader.ByteCount(), 10);
}

TEST(ZeroCopyMemoryStreamReaderTest, BackUpOfTheWholeRegionRestoresTheStream) {
    MemoryStream stream;
    stream.Append(MakeChain({0, 4, 6}));
    stream.Skip(2);
    {
        ZeroCopyMemoryStreamReader reader(&stream);
        const void* data;
        int size;
        ASSERT_TRUE(reader.Next(&data, &size));
        ASSERT_TRUE(reader.Next(&data, &size));
        EXPECT_EQ(size, 6);
        reader.BackUp(6);
        EXPECT_EQ(reader.ByteCount(), 2);
    }
    EXPECT_EQ(stream.GetSize(), 6u);
    unsigned char out[6];
    stream.Read(out, 6);
    const std::vector<unsigned char> all = Pattern(10);
    EXPECT_EQ(std::vector<unsigned char>(out, out + 6),
              std::vector<unsigned char>(all.begin() + 4, all.end()));
}

TEST(ZeroCopyMemoryStreamReaderTest, BackUpOfPartConsumesOnlyTheUsedBytes) {
    MemoryStream stream;
    stream.Append(MakeChain({8}));
    {
        ZeroCopyMemoryStreamReader reader(&stream);
        const void* data;
        int size;
        ASSERT_TRUE(reader.Next(&data, &size));
        reader.BackUp(5);
        EXPECT_EQ(reader.ByteCount(), 3);
    }
    EXPECT_EQ(stream.GetSize(), 5u);
}

// The protobuf parser copies small regions ahead into a buffer of its own; when it stops early
// it gives back more than the last region. That must put the bytes back, not stop the process.
TEST(ZeroCopyMemoryStreamReaderTest, BackUpMayReachIntoEarlierRegions) {
    MemoryStream stream;
    stream.Append(MakeChain({3, 4, 5}));
    {
        ZeroCopyMemoryStreamReader reader(&stream);
        const void* data;
        int size;
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(reader.Next(&data, &size));
        reader.BackUp(7);
        EXPECT_EQ(reader.ByteCount(), 5);
        ASSERT_TRUE(reader.Next(&data, &size));
        EXPECT_EQ(size, 2);
        reader.BackUp(1);
        EXPECT_EQ(reader.ByteCount(), 6);
    }
    ASSERT_EQ(stream.GetSize(), 6u);
    unsigned char out[6];
    stream.Read(out, 6);
    const std::vector<unsigned char> all = Pattern(12);
    EXPECT_EQ(std::vector<unsigned char>(out, out + 6),
              std::vector<unsigned char>(all.begin() + 6, all.end()));
}

TEST(ZeroCopyMemoryStreamReaderTest, BodyWithAZeroTagInSmallBuffersFailsToParse) {
    // requestId 2, then a zero tag, which ends the parse early, then more fields.
    std::string body = "\x08\x02";
    body += '\0';
    while (body.size() < 40) body += "\x08\x01";
    for (unsigned piece = 1; piece <= 20; ++piece) {
        MemoryStream stream;
        for (std::size_t i = 0; i < body.size(); i += piece) {
            SharedPtr<Buffer> buffer(new Buffer);
            buffer->Write(body.data() + i,
                          static_cast<unsigned>(body.size() - i < piece ? body.size() - i : piece));
            buffer->Seal();
            stream.Append(buffer);
        }
        int64_t consumed;
        {
            ZeroCopyMemoryStreamReader reader(&stream, static_cast<unsigned>(body.size()));
            kx::protocol::halyxdll::Rsp answer;
            EXPECT_FALSE(
                answer.ParseFromBoundedZeroCopyStream(&reader, static_cast<int>(body.size())))
                << "pieces of " << piece;
            consumed = reader.ByteCount();
        }
        EXPECT_LE(consumed, static_cast<int64_t>(body.size()));
        EXPECT_EQ(stream.GetSize() + consumed, body.size()) << "pieces of " << piece;
    }
}

TEST(ZeroCopyMemoryStreamReaderTest, LimitBoundsWhatTheReaderHandsOut) {
    MemoryStream stream;
    stream.Append(MakeChain({4096, 4096}));
    ZeroCopyMemoryStreamReader reader(&stream, 5000);
    const void* data;
    int size;
    ASSERT_TRUE(reader.Next(&data, &size));
    EXPECT_EQ(size, 4096);
    ASSERT_TRUE(reader.Next(&data, &size));
    EXPECT_EQ(size, 904);
    EXPECT_FALSE(reader.Next(&data, &size));
    reader.BackUp(0);
    EXPECT_EQ(stream.GetSize(), 8192u - 5000u);
    EXPECT_FALSE(reader.Skip(1));
}

TEST(ZeroCopyMemoryStreamReaderTest, CodedStreamGivesBackWhatItReadAhead) {
    MemoryStream stream;
    stream.Append(MakeChain({2}));
    stream.Append(MakeChain({4000}, 2));
    {
        ZeroCopyMemoryStreamReader reader(&stream);
        google::protobuf::io::CodedInputStream coded(&reader);
        uint32_t value;
        ASSERT_TRUE(coded.ReadLittleEndian32(&value));
    }
    EXPECT_EQ(stream.GetSize(), 3998u);
}

TEST(ZeroCopyWriteBufferWriterTest, EachNextIsAWholeFreshBuffer) {
    ZeroCopyWriteBufferWriter writer;
    void* regions[3];
    int size;
    for (void*& region : regions) {
        ASSERT_TRUE(writer.Next(&region, &size));
        EXPECT_EQ(size, 4096);
    }
    EXPECT_EQ(writer.ByteCount(), 12288);
    writer.BackUp(4095);
    EXPECT_EQ(writer.ByteCount(), 8193);

    SharedPtr<Buffer> chain = writer.GetFirst();
    chain->Seal();
    const Buffer* third = chain->GetNext()->GetNext().Get();
    EXPECT_EQ(chain->Remaining(), 4096u);
    EXPECT_EQ(chain->GetNext()->Remaining(), 4096u);
    EXPECT_EQ(third->Remaining(), 1u);
    EXPECT_FALSE(third->GetNext());
    const unsigned char* read;
    third->GetReadRegion(&read);
    EXPECT_EQ(read, regions[2]);
}

TEST(ZeroCopyWriteBufferWriterTest, CodedStreamProducesExactlyTheEncodedBytes) {
    const std::vector<unsigned char> bytes = Pattern(5000);
    ZeroCopyWriteBufferWriter writer;
    {
        google::protobuf::io::CodedOutputStream coded(&writer);
        coded.WriteRaw(bytes.data(), static_cast<int>(bytes.size()));
    }
    EXPECT_EQ(writer.ByteCount(), 5000);
    SharedPtr<Buffer> chain = writer.GetFirst();
    chain->Seal();
    EXPECT_EQ(chain->Remaining(), 4096u);
    EXPECT_EQ(chain->GetNext()->Remaining(), 904u);
    EXPECT_EQ(ChainBytes(chain), bytes);
}

}  // namespace
