#include "kx/halyxdll/AnswerBounds.h"

#include <google/protobuf/descriptor.h>
#include <google/protobuf/io/coded_stream.h>
#include <google/protobuf/wire_format_lite.h>

#include "HalyxDll.pb.h"

namespace kx {
namespace halyxdll {

namespace {

namespace wire = protocol::halyxdll;
using google::protobuf::Descriptor;
using google::protobuf::FieldDescriptor;
using google::protobuf::internal::WireFormatLite;
using google::protobuf::io::CodedInputStream;

// Walks one answer's fields by the schema, counting what decoding it would allocate.
class BoundsWalk {
public:
    explicit BoundsWalk(CodedInputStream* input) : input_(input) {}

    // Walks the fields of a message of type `type` up to the input's current limit. Null when
    // within bounds or when the bytes do not parse (the parser then refuses them).
    const char* Walk(const Descriptor* type) {
        for (;;) {
            const uint32_t tag = input_->ReadTag();
            if (tag == 0) return nullptr;
            const int number = WireFormatLite::GetTagFieldNumber(tag);
            const FieldDescriptor* field = type->FindFieldByNumber(number);
            const WireFormatLite::WireType wireType = WireFormatLite::GetTagWireType(tag);
            if (field == nullptr) {
                if (++unknownFields_ > kMaxUnknownFields) return "carries too many unknown fields";
                if (wireType == WireFormatLite::WIRETYPE_START_GROUP) {
                    return "carries an unknown group";
                }
                if (!WireFormatLite::SkipField(input_, tag)) return nullptr;
                continue;
            }
            if (wireType != WireFormatLite::WIRETYPE_LENGTH_DELIMITED) {
                if (!WireFormatLite::SkipField(input_, tag)) return nullptr;
                continue;
            }
            uint32_t length;
            if (!input_->ReadVarint32(&length)) return nullptr;
            if (const char* broken = CheckCount(field)) return broken;
            if (field->type() == FieldDescriptor::TYPE_MESSAGE) {
                const CodedInputStream::Limit limit = input_->PushLimit(static_cast<int>(length));
                if (const char* broken = Walk(field->message_type())) return broken;
                // Bytes left behind a nested message that stopped early do not parse.
                if (input_->BytesUntilLimit() != 0) return nullptr;
                input_->PopLimit(limit);
                continue;
            }
            if (length > MaxTextBytes(field)) return "carries a text over its bound";
            if (!input_->Skip(static_cast<int>(length))) return nullptr;
        }
    }

private:
    // The most bytes a text field may hold; unbounded fields (savegame data) are bounded by
    // the frame alone.
    static uint32_t MaxTextBytes(const FieldDescriptor* field) {
        if (field == wire::SavegameInfo::descriptor()->FindFieldByNumber(
                         wire::SavegameInfo::kNameFieldNumber)) {
            return kMaxSavegameNameBytes;
        }
        if (field->containing_type() == wire::GetLoginDetailsRsp::descriptor()) {
            return kMaxLoginFieldBytes;
        }
        if (field->containing_type() == wire::GetOsiRsp::descriptor()) {
            return kMaxServerPipeNameBytes;
        }
        return 0xFFFFFFFFu;
    }

    // Counts the entries of a repeated field: the list answer's savegames are the only one.
    const char* CheckCount(const FieldDescriptor* field) {
        if (!field->is_repeated()) return nullptr;
        if (++listedSavegames_ > kMaxListedSavegames) return "lists too many savegames";
        return nullptr;
    }

    CodedInputStream* input_;
    unsigned unknownFields_ = 0;
    unsigned listedSavegames_ = 0;
};

}  // namespace

const char* CheckAnswerBounds(google::protobuf::io::ZeroCopyInputStream* body) {
    CodedInputStream input(body);
    return BoundsWalk(&input).Walk(wire::Rsp::descriptor());
}

}  // namespace halyxdll
}  // namespace kx
