#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kx/halyxdll/halyxdll_internal.h"
#include "velhalyxapi_r2/Listeners.h"
#include "velhalyxapi_r2/SavegameHandles.h"

namespace kx {
namespace fuzz {

// The game's side of a session that a fuzzed launcher talks to: requests of every kind pending
// under small fixed ids (so that fuzzed answers find them), listeners that check what reaches
// them and use what they are given the way a game would (closing handles, reading and writing
// through them, asking again from inside a call), and read destinations allocated to their
// exact size, so that AddressSanitizer stops any byte the library writes outside them.
//
// Used on the fuzzing thread only, like a game's thread.
class GameSide : public halyxdll::IGetLoginDetailsListener,
                 public halyxdll::IGetHalyxServerListener,
                 public halyxdll::IGetSavegameReaderListener,
                 public halyxdll::IGetSavegameWriterListener,
                 public halyxdll::IGetSavegameListListener,
                 public halyxdll::IRemoveSavegameListener,
                 public halyxdll::ISavegameReadListener,
                 public halyxdll::ISavegameWriteListener {
public:
    // Request ids the seeds answer. The launcher connection is opened by kServerId.
    static constexpr unsigned kLoginId = 2;
    static constexpr unsigned kServerId = 3;
    static constexpr unsigned kReaderId = 4;
    static constexpr unsigned kWriterId = 5;
    static constexpr unsigned kListId = 6;
    static constexpr unsigned kRemoveId = 7;
    static constexpr unsigned kReadId = 8;
    static constexpr unsigned kLargeReadId = 9;
    static constexpr unsigned kEmptyReadId = 10;
    static constexpr unsigned kUnlistenedReadId = 11;
    static constexpr unsigned kWriteId = 12;
    static constexpr unsigned kHeldBackListId = 13;
    static constexpr unsigned kReaderReadId = 14;
    static constexpr unsigned kWriterWriteId = 15;
    // Used after the fuzzed input, on a fresh connection.
    static constexpr unsigned kFreshServerId = 100;
    static constexpr unsigned kFreshLoginId = 101;
    static constexpr unsigned kProductId = 7;

    // The texts the fresh connection's login-details answer carries.
    static const char kFreshUser[];
    static const char kFreshPassword[];
    static const char kFreshCdKey[];

    GameSide() = default;
    GameSide(const GameSide&) = delete;
    GameSide& operator=(const GameSide&) = delete;
    // Frees the destinations: the session state must be gone by then.
    ~GameSide();

    // Issues the requests of every kind, except the server request that opens the connection
    // (kServerId), which the caller makes first.
    void IssueRequests(halyxdll::HalyxSessionData& session);

    // Asks for login details under kFreshLoginId; FreshAnswerArrived tells when they came.
    void AskFreshLogin(halyxdll::HalyxSessionData& session);
    bool FreshAnswerArrived() const { return freshAnswers_ != 0; }

    // The frame (length prefix and body) of a valid login-details answer for kFreshLoginId.
    static std::string FreshLoginFrame();

    // Checks what must hold once the session state is destroyed: the destination of the read
    // without a listener was never written, the fresh answer came exactly once and intact.
    void CheckAfterSession() const;

    void OnGetLoginDetails(unsigned int requestId, const char* userName,
                           const unsigned short* password, const char* cdKey) override;
    void OnGetHalyxServer(unsigned int requestId, halyxdll::PipeHandle pipe) override;
    void OnGetSavegameReader(unsigned int requestId, unsigned int result,
                             halyxdll::SavegameReader* reader) override;
    void OnGetSavegameWriter(unsigned int requestId, unsigned int result,
                             halyxdll::SavegameWriter* writer) override;
    void OnGetSavegameList(unsigned int requestId, halyxdll::SavegameInfo* savegames,
                           unsigned int count) override;
    void OnRemoveSavegame(unsigned int requestId, unsigned int result) override;
    void OnSavegameRead(unsigned int requestId, unsigned int byteCount) override;
    void OnSavegameWrite(unsigned int requestId, unsigned int byteCount) override;

private:
    // A destination of exactly `size` bytes (none for 0), filled with `fill`.
    unsigned char* NewDestination(std::size_t size, unsigned char fill);

    halyxdll::HalyxSessionData* session_ = nullptr;
    std::vector<std::unique_ptr<unsigned char[]>> destinations_;
    unsigned char* unlistened_ = nullptr;
    bool askedLoginAgain_ = false;
    unsigned freshAnswers_ = 0;
    bool freshAnswerIntact_ = false;
};

}  // namespace fuzz
}  // namespace kx
