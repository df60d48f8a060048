#include "GameSide.h"

#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "FuzzCheck.h"
#include "HalyxDll.pb.h"
#include "kx/testing/Frame.h"

namespace kx {
namespace fuzz {

namespace {

constexpr unsigned char kUnlistenedFill = 0x5A;
constexpr std::size_t kUnlistenedSize = 64;

// Walks a zero-terminated text the library handed over; AddressSanitizer stops the walk if the
// text runs past its storage.
template <typename Unit>
std::size_t TextLength(const Unit* text) {
    KX_FUZZ_REQUIRE(text != nullptr);
    std::size_t length = 0;
    while (text[length] != 0) ++length;
    return length;
}

}  // namespace

const char GameSide::kFreshUser[] = "player \xC3\xA9";
const char GameSide::kFreshPassword[] = "secret \xF0\x9F\x98\x80";
const char GameSide::kFreshCdKey[] = "AAAA-BBBB";

GameSide::~GameSide() {
    KX_FUZZ_REQUIRE(halyxdll::HalyxSessionData::Current() == nullptr);
}

unsigned char* GameSide::NewDestination(std::size_t size, unsigned char fill) {
    destinations_.emplace_back(new unsigned char[size]);
    unsigned char* destination = destinations_.back().get();
    std::memset(destination, fill, size);
    return destination;
}

void GameSide::IssueRequests(halyxdll::HalyxSessionData& session) {
    session_ = &session;
    session.GetLoginDetails(kLoginId, this);
    session.GetSavegameReader(kReaderId, this, kProductId, 1);
    session.GetSavegameWriter(kWriterId, this, kProductId, 2, true);
    session.GetSavegameList(kListId, this, kProductId);
    session.RemoveSavegame(kRemoveId, this, kProductId, 3);
    session.Read(kReadId, this, kProductId, 1, 0, NewDestination(16, 0), 16);
    session.Read(kLargeReadId, this, kProductId, 1, 16, NewDestination(1000, 0), 1000);
    session.Read(kEmptyReadId, this, kProductId, 1, 0, NewDestination(0, 0), 0);
    unlistened_ = NewDestination(kUnlistenedSize, kUnlistenedFill);
    session.Read(kUnlistenedReadId, nullptr, kProductId, 1, 0, unlistened_, kUnlistenedSize);
    const unsigned char data[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    session.Write(kWriteId, this, kProductId, 2, data, sizeof(data));
    session.StopRead(kProductId, 9);
    // A stop-write holds the next list request back until its answer comes.
    session.StopWrite(kProductId, 8, "closed \xE2\x82\xAC", true);
    session.GetSavegameList(kHeldBackListId, this, kProductId);
}

void GameSide::AskFreshLogin(halyxdll::HalyxSessionData& session) {
    session_ = &session;
    session.GetLoginDetails(kFreshLoginId, this);
}

std::string GameSide::FreshLoginFrame() {
    protocol::halyxdll::Rsp answer;
    answer.set_requestid(kFreshLoginId);
    protocol::halyxdll::GetLoginDetailsRsp* details = answer.mutable_getlogindetails();
    details->set_username(kFreshUser);
    details->set_password(kFreshPassword);
    details->set_cdkey(kFreshCdKey);
    return testing::Frame(answer);
}

void GameSide::CheckAfterSession() const {
    for (std::size_t i = 0; i < kUnlistenedSize; ++i) {
        KX_FUZZ_REQUIRE(unlistened_[i] == kUnlistenedFill);
    }
    KX_FUZZ_REQUIRE(freshAnswers_ == 1);
    KX_FUZZ_REQUIRE(freshAnswerIntact_);
}

void GameSide::OnGetLoginDetails(unsigned int requestId, const char* userName,
                                 const unsigned short* password, const char* cdKey) {
    TextLength(userName);
    const std::size_t passwordLength = TextLength(password);
    TextLength(cdKey);
    if (requestId == kFreshLoginId) {
        ++freshAnswers_;
        // "secret " and U+1F600 as a surrogate pair.
        freshAnswerIntact_ = std::strcmp(userName, kFreshUser) == 0 &&
                             std::strcmp(cdKey, kFreshCdKey) == 0 && passwordLength == 9 &&
                             password[7] == 0xD83D && password[8] == 0xDE00;
        return;
    }
    KX_FUZZ_REQUIRE(requestId == kLoginId);
    if (!askedLoginAgain_) {
        // Asked again from inside the call: that new entry goes when the call returns.
        askedLoginAgain_ = true;
        session_->GetLoginDetails(kLoginId, this);
    }
}

void GameSide::OnGetHalyxServer(unsigned int requestId, halyxdll::PipeHandle pipe) {
    KX_FUZZ_REQUIRE(requestId == kServerId || requestId == kFreshServerId);
    // The pipe belongs to the game now.
    const intptr_t descriptor = reinterpret_cast<intptr_t>(pipe);
    if (descriptor != -1) KX_FUZZ_REQUIRE(close(static_cast<int>(descriptor)) == 0);
}

void GameSide::OnGetSavegameReader(unsigned int requestId, unsigned int result,
                                   halyxdll::SavegameReader* reader) {
    KX_FUZZ_REQUIRE(requestId == kReaderId);
    KX_FUZZ_REQUIRE(result <= 3);
    KX_FUZZ_REQUIRE((result == 0) == (reader != nullptr));
    if (reader == nullptr) return;
    reader->Read(kReaderReadId, this, 0, NewDestination(32, 0), 32);
    reader->Close();
}

void GameSide::OnGetSavegameWriter(unsigned int requestId, unsigned int result,
                                   halyxdll::SavegameWriter* writer) {
    KX_FUZZ_REQUIRE(requestId == kWriterId);
    KX_FUZZ_REQUIRE(result <= 3);
    KX_FUZZ_REQUIRE((result == 0) == (writer != nullptr));
    if (writer == nullptr) return;
    const unsigned short name[] = {'s', 'a', 'v', 'e', 0};
    writer->SetName(name);
    const unsigned char data[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    writer->Write(kWriterWriteId, this, data, sizeof(data));
    writer->Close(true);
}

void GameSide::OnGetSavegameList(unsigned int requestId, halyxdll::SavegameInfo* savegames,
                                 unsigned int count) {
    KX_FUZZ_REQUIRE(requestId == kListId || requestId == kHeldBackListId);
    KX_FUZZ_REQUIRE(count == 0 || savegames != nullptr);
    for (unsigned int i = 0; i < count; ++i) {
        TextLength(savegames[i].GetName());
        savegames[i].GetProductId();
        savegames[i].GetSavegameId();
        savegames[i].GetSize();
    }
}

void GameSide::OnRemoveSavegame(unsigned int requestId, unsigned int result) {
    KX_FUZZ_REQUIRE(requestId == kRemoveId);
    KX_FUZZ_REQUIRE(result <= 3);
}

void GameSide::OnSavegameRead(unsigned int requestId, unsigned int /*byteCount*/) {
    KX_FUZZ_REQUIRE(requestId == kReadId || requestId == kLargeReadId ||
                    requestId == kEmptyReadId || requestId == kReaderReadId);
}

void GameSide::OnSavegameWrite(unsigned int requestId, unsigned int /*byteCount*/) {
    KX_FUZZ_REQUIRE(requestId == kWriteId || requestId == kWriterWriteId);
}

}  // namespace fuzz
}  // namespace kx
