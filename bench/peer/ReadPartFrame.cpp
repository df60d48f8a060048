#include "peer/ReadPartFrame.h"

#include <google/protobuf/io/coded_stream.h>
#include <google/protobuf/wire_format_lite.h>

#include "HalyxDll.pb.h"

namespace kx {
namespace bench {

namespace {

using google::protobuf::internal::WireFormatLite;
using google::protobuf::io::CodedOutputStream;
namespace wire = protocol::halyxdll;

uint8_t* WriteLengthDelimitedTag(int field, uint8_t* out) {
    return WireFormatLite::WriteTagToArray(field, WireFormatLite::WIRETYPE_LENGTH_DELIMITED, out);
}

}  // namespace

ReadPartFrame::ReadPartFrame(uint32_t requestId, uint32_t requestOffset, uint32_t size,
                             bool isLastPart) {
    uint8_t* out = tail;
    out = WireFormatLite::WriteUInt32ToArray(wire::ReadSavegameRsp::kRequestOffsetFieldNumber,
                                             requestOffset, out);
    out = WireFormatLite::WriteBoolToArray(wire::ReadSavegameRsp::kIsLastPartFieldNumber,
                                           isLastPart, out);
    tailSize = static_cast<unsigned>(out - tail);

    // The part's own encoding: data (tag, length, bytes), then the tail.
    const uint32_t dataTagSize = WireFormatLite::TagSize(wire::ReadSavegameRsp::kDataFieldNumber,
                                                         WireFormatLite::TYPE_BYTES);
    const uint32_t partSize = dataTagSize + CodedOutputStream::VarintSize32(size) + size + tailSize;
    const uint32_t bodySize =
        WireFormatLite::TagSize(wire::Rsp::kRequestIdFieldNumber, WireFormatLite::TYPE_UINT32) +
        WireFormatLite::UInt32Size(requestId) +
        WireFormatLite::TagSize(wire::Rsp::kReadSavegameFieldNumber, WireFormatLite::TYPE_MESSAGE) +
        CodedOutputStream::VarintSize32(partSize) + partSize;

    out = head;
    for (int shift = 24; shift >= 0; shift -= 8) *out++ = static_cast<uint8_t>(bodySize >> shift);
    out = WireFormatLite::WriteUInt32ToArray(wire::Rsp::kRequestIdFieldNumber, requestId, out);
    out = WriteLengthDelimitedTag(wire::Rsp::kReadSavegameFieldNumber, out);
    out = CodedOutputStream::WriteVarint32ToArray(partSize, out);
    out = WriteLengthDelimitedTag(wire::ReadSavegameRsp::kDataFieldNumber, out);
    out = CodedOutputStream::WriteVarint32ToArray(size, out);
    headSize = static_cast<unsigned>(out - head);
}

}  // namespace bench
}  // namespace kx
