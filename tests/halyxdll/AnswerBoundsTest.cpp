// The bounds on one answer, checked on its encoded bytes before anything is decoded.
#include "kx/halyxdll/AnswerBounds.h"

#include <google/protobuf/io/zero_copy_stream_impl_lite.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WireAnswers.h"

namespace kx {
namespace testing {
namespace {

using kx::halyxdll::CheckAnswerBounds;

// Why `answer`'s encoding is refused, or "" when it is within the bounds.
std::string Refusal(const std::string& encoded) {
    google::protobuf::io::ArrayInputStream body(encoded.data(), static_cast<int>(encoded.size()));
    const char* refusal = CheckAnswerBounds(&body);
    return refusal == nullptr ? "" : refusal;
}
std::string Refusal(const wire::Rsp& answer) {
    return Refusal(answer.SerializeAsString());
}

std::vector<ListEntry> Entries(unsigned count, const std::string& name = "") {
    return std::vector<ListEntry>(count, ListEntry{name, 1, 0});
}

TEST(AnswerBoundsTest, EachBoundTakesItsLimitAndRefusesOneMore) {
    const unsigned listed = kx::halyxdll::kMaxListedSavegames;
    EXPECT_EQ(Refusal(ListAnswer(1, Entries(listed))), "");
    EXPECT_EQ(Refusal(ListAnswer(1, Entries(listed + 1))), "lists too many savegames");

    const std::string name(kx::halyxdll::kMaxSavegameNameBytes, 'n');
    EXPECT_EQ(Refusal(ListAnswer(1, Entries(1, name))), "");
    EXPECT_EQ(Refusal(ListAnswer(1, Entries(1, name + "n"))), "carries a text over its bound");

    const std::string login(kx::halyxdll::kMaxLoginFieldBytes, 'l');
    EXPECT_EQ(Refusal(LoginAnswer(1, login, login, login)), "");
    EXPECT_EQ(Refusal(LoginAnswer(1, "user", login + "l", "key")), "carries a text over its bound");

    const std::string pipe(kx::halyxdll::kMaxServerPipeNameBytes, 'p');
    EXPECT_EQ(Refusal(ServerAnswer(1, wire::GetOsiRsp::Ok, &pipe)), "");
    const std::string longer = pipe + "p";
    EXPECT_EQ(Refusal(ServerAnswer(1, wire::GetOsiRsp::Ok, &longer)),
              "carries a text over its bound");

    // Savegame data is bounded by the frame alone.
    EXPECT_EQ(Refusal(ReadPartAnswer(1, std::string(1u << 20, 'd'), 0, true)), "");
}

TEST(AnswerBoundsTest, UnknownFieldsAreCountedAtEveryLevelAndGroupsRefused) {
    const std::string known = ListAnswer(1, Entries(1)).SerializeAsString();
    // Field 15 of the answer, a varint: unknown to the library.
    std::string unknown;
    for (unsigned i = 0; i < kx::halyxdll::kMaxUnknownFields; ++i) unknown += "\x78\x01";
    EXPECT_EQ(Refusal(known + unknown), "");
    EXPECT_EQ(Refusal(known + unknown + "\x78\x01"), "carries too many unknown fields");
    // Field 15 as the start of a group.
    EXPECT_EQ(Refusal(known + "\x7B\x7C"), "carries an unknown group");
    // Bytes that do not parse are left to the parser.
    EXPECT_EQ(Refusal(std::string("\xFF")), "");
    EXPECT_EQ(Refusal(known.substr(0, known.size() - 1)), "");
}

}  // namespace
}  // namespace testing
}  // namespace kx
