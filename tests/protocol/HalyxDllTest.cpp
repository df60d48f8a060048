#include "HalyxDll.pb.h"

#include <gtest/gtest.h>

#include <google/protobuf/descriptor.h>
#include <google/protobuf/message.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace pb = ::google::protobuf;
namespace proto = ::kx::protocol::halyxdll;

std::string Hex(const std::string& bytes) {
    std::string hex;
    char digits[4];
    for (unsigned char byte : bytes) {
        std::snprintf(digits, sizeof(digits), hex.empty() ? "%02X" : " %02X", byte);
        hex += digits;
    }
    return hex;
}

// Sets every field of `message` (recursively, one element per repeated field) to a value that
// is neither zero nor the field's default, so that every field is on the wire.
void FillAll(pb::Message* message, int depth = 0) {
    const pb::Reflection* reflection = message->GetReflection();
    const pb::Descriptor* descriptor = message->GetDescriptor();
    for (int i = 0; i < descriptor->field_count(); ++i) {
        const pb::FieldDescriptor* field = descriptor->field(i);
        const uint32_t number =
            100u * static_cast<uint32_t>(depth + 1) + static_cast<uint32_t>(field->number());
        const bool repeated = field->is_repeated();
        switch (field->cpp_type()) {
            case pb::FieldDescriptor::CPPTYPE_UINT32:
                repeated ? reflection->AddUInt32(message, field, number)
                         : reflection->SetUInt32(message, field, number);
                break;
            case pb::FieldDescriptor::CPPTYPE_BOOL:
                repeated ? reflection->AddBool(message, field, true)
                         : reflection->SetBool(message, field, true);
                break;
            case pb::FieldDescriptor::CPPTYPE_STRING: {
                const std::string value = "v" + std::to_string(number) + std::string("\0\xff", 2);
                repeated ? reflection->AddString(message, field, value)
                         : reflection->SetString(message, field, value);
                break;
            }
            case pb::FieldDescriptor::CPPTYPE_ENUM: {
                const pb::EnumDescriptor* type = field->enum_type();
                const pb::EnumValueDescriptor* last = type->value(type->value_count() - 1);
                repeated ? reflection->AddEnum(message, field, last)
                         : reflection->SetEnum(message, field, last);
                break;
            }
            case pb::FieldDescriptor::CPPTYPE_MESSAGE:
                FillAll(repeated ? reflection->AddMessage(message, field)
                                 : reflection->MutableMessage(message, field),
                        depth + 1);
                break;
            default:
                FAIL() << "field type not used by the schema: " << field->full_name();
        }
    }
}

std::vector<const pb::Descriptor*> AllMessageTypes() {
    const pb::FileDescriptor* file = proto::Req::descriptor()->file();
    std::vector<const pb::Descriptor*> types;
    for (int i = 0; i < file->message_type_count(); ++i) types.push_back(file->message_type(i));
    return types;
}

std::unique_ptr<pb::Message> NewMessage(const pb::Descriptor* type) {
    return std::unique_ptr<pb::Message>(
        pb::MessageFactory::generated_factory()->GetPrototype(type)->New());
}

TEST(WireEncodingTest, EmptySubMessageIsKeyAndZeroLength) {
    proto::Req req;
    req.set_requestid(7);
    req.mutable_getlogindetails();
    EXPECT_EQ(Hex(req.SerializeAsString()), "08 07 1A 00");

    proto::Req parsed;
    ASSERT_TRUE(parsed.ParseFromString(req.SerializeAsString()));
    EXPECT_EQ(parsed.requestid(), 7u);
    EXPECT_TRUE(parsed.has_getlogindetails());
}

TEST(WireEncodingTest, OkStatusIsWrittenExplicitly) {
    proto::Rsp rsp;
    rsp.set_requestid(7);
    rsp.mutable_getosi()->set_status(proto::GetOsiRsp::Ok);
    EXPECT_EQ(Hex(rsp.SerializeAsString()), "08 07 22 02 10 00");

    proto::WriteSavegameRsp write;
    write.set_status(proto::WriteSavegameRsp::Ok);
    write.set_byteswritten(0);
    EXPECT_EQ(Hex(write.SerializeAsString()), "08 00 10 00");
}

TEST(WireEncodingTest, FieldsAreWrittenInAscendingNumberOrder) {
    proto::Req req;
    req.mutable_stopwritesavegame()->set_persist(false);
    req.mutable_stopwritesavegame()->set_name("ab");
    req.mutable_stopwritesavegame()->set_slotid(2);
    req.mutable_stopwritesavegame()->set_productid(1);
    req.set_requestid(1);
    EXPECT_EQ(Hex(req.SerializeAsString()), "08 01 52 0A 08 01 10 02 1A 02 61 62 20 00");
}

TEST(WireEncodingTest, GetOsiOkWithoutPipeNameParses) {
    proto::Rsp rsp;
    ASSERT_TRUE(rsp.ParseFromString(std::string("\x08\x07\x22\x02\x10\x00", 6)));
    EXPECT_EQ(rsp.requestid(), 7u);
    ASSERT_TRUE(rsp.has_getosi());
    EXPECT_FALSE(rsp.getosi().has_pipename());
    EXPECT_EQ(rsp.getosi().status(), proto::GetOsiRsp::Ok);
}

TEST(WireEncodingTest, EmptySavegameListIsValidAndEncodesEmpty) {
    proto::ListSavegamesRsp list;
    EXPECT_TRUE(list.IsInitialized());
    EXPECT_EQ(list.SerializeAsString(), "");

    proto::Rsp rsp;
    rsp.set_requestid(3);
    rsp.mutable_listsavegames();
    EXPECT_EQ(Hex(rsp.SerializeAsString()), "08 03 2A 00");
}

TEST(WireEncodingTest, StringsAreNotValidatedAsUtf8) {
    proto::SavegameInfo info;
    info.set_name(std::string("\xff\xfe\x00x", 4));
    info.set_slotid(1);
    info.set_size(2);
    proto::SavegameInfo parsed;
    ASSERT_TRUE(parsed.ParseFromString(info.SerializeAsString()));
    EXPECT_EQ(parsed.name(), std::string("\xff\xfe\x00x", 4));
}

TEST(WireEncodingTest, UnknownFieldsSurviveReserialization) {
    // requestId 7, then field 15 (varint 5), unknown to the schema.
    const std::string bytes("\x08\x07\x78\x05", 4);
    proto::Rsp rsp;
    ASSERT_TRUE(rsp.ParseFromString(bytes));
    EXPECT_EQ(rsp.SerializeAsString(), bytes);
}

TEST(WireEncodingTest, MalformedBytesDoNotParse) {
    proto::Rsp rsp;
    // Length of the getOsi slot runs past the end.
    EXPECT_FALSE(rsp.ParseFromString(std::string("\x08\x07\x22\x05\x10\x00", 6)));
    // Truncated varint.
    EXPECT_FALSE(rsp.ParseFromString(std::string("\x08\x87", 2)));
    // Missing requestId.
    EXPECT_FALSE(rsp.ParseFromString(std::string("\x22\x02\x10\x00", 4)));
}

TEST(WireSchemaTest, EveryMessageRoundTrips) {
    const std::vector<const pb::Descriptor*> types = AllMessageTypes();
    ASSERT_EQ(types.size(), 23u);
    for (const pb::Descriptor* type : types) {
        SCOPED_TRACE(type->full_name());
        std::unique_ptr<pb::Message> original = NewMessage(type);
        FillAll(original.get());
        ASSERT_TRUE(original->IsInitialized());
        const std::string bytes = original->SerializeAsString();

        std::unique_ptr<pb::Message> parsed = NewMessage(type);
        ASSERT_TRUE(parsed->ParseFromString(bytes));
        EXPECT_EQ(parsed->DebugString(), original->DebugString());
        EXPECT_EQ(parsed->SerializeAsString(), bytes);
    }
}

// Clears each required field in turn, wherever it sits below `root`, and expects the encoding
// of the whole tree no longer to parse. Returns the number of required fields visited.
int ExpectEachRequiredFieldIsNeeded(pb::Message* root, pb::Message* current) {
    int visited = 0;
    const pb::Reflection* reflection = current->GetReflection();
    const pb::Descriptor* descriptor = current->GetDescriptor();
    for (int i = 0; i < descriptor->field_count(); ++i) {
        const pb::FieldDescriptor* field = descriptor->field(i);
        if (field->is_required()) {
            SCOPED_TRACE(field->full_name());
            std::unique_ptr<pb::Message> saved(current->New());
            saved->CopyFrom(*current);
            reflection->ClearField(current, field);
            const std::string bytes = root->SerializePartialAsString();
            std::unique_ptr<pb::Message> parsed(root->New());
            EXPECT_FALSE(parsed->ParseFromString(bytes));
            current->CopyFrom(*saved);
            ++visited;
        }
        if (field->cpp_type() == pb::FieldDescriptor::CPPTYPE_MESSAGE) {
            pb::Message* child = field->is_repeated()
                                     ? reflection->MutableRepeatedMessage(current, field, 0)
                                     : reflection->MutableMessage(current, field);
            visited += ExpectEachRequiredFieldIsNeeded(root, child);
        }
    }
    return visited;
}

TEST(WireSchemaTest, MissingRequiredFieldAtAnyDepthDoesNotParse) {
    proto::Req req;
    FillAll(&req);
    // requestId and the 23 required fields of the request messages.
    EXPECT_EQ(ExpectEachRequiredFieldIsNeeded(&req, &req), 24);

    proto::Rsp rsp;
    FillAll(&rsp);
    // requestId and the 19 required fields of the answer messages (SavegameInfo included).
    EXPECT_EQ(ExpectEachRequiredFieldIsNeeded(&rsp, &rsp), 20);
}

TEST(WireSchemaTest, EnvelopesShareSlotNumbers) {
    const pb::Descriptor* req = proto::Req::descriptor();
    const pb::Descriptor* rsp = proto::Rsp::descriptor();
    ASSERT_EQ(req->field_count(), 11);
    ASSERT_EQ(rsp->field_count(), 11);
    for (int i = 0; i < req->field_count(); ++i) {
        SCOPED_TRACE(req->field(i)->name());
        const pb::FieldDescriptor* answer = rsp->FindFieldByNumber(req->field(i)->number());
        ASSERT_NE(answer, nullptr);
        EXPECT_EQ(answer->name(), req->field(i)->name());
        if (answer->number() == 1) continue;
        EXPECT_TRUE(answer->is_optional());
        EXPECT_EQ(
            answer->message_type()->name().substr(0, answer->message_type()->name().size() - 3),
            req->field(i)->message_type()->name().substr(
                0, req->field(i)->message_type()->name().size() - 3));
    }
}

}  // namespace
