#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "velhalyxapi_r2.h"
#include "velhalyxapi_r2_c.h"

namespace kx {
namespace bench {

// The game's side of the benchmarks: the library's facade with its launcher connection, and
// the conversations the benchmarks time. Every call pumps Update on the calling thread, with
// no pause, until its listener has run, as a game that calls Update in a tight loop; each
// gives up after kPatienceSeconds and reports false, so a wedged peer fails a benchmark
// instead of hanging it. One thread (the game's) uses it.
class GameSession {
public:
    static constexpr int kPatienceSeconds = 30;

    GameSession();
    // Closes the open reader and writer.
    ~GameSession();
    GameSession(const GameSession&) = delete;
    GameSession& operator=(const GameSession&) = delete;

    // Opens the launcher connection the way a game does (GetHalyxServer; the peer refuses the
    // server, which does not matter here). True when the answer came.
    bool Connect();

    // One GetLoginDetails round trip under `requestId`; true when the listener was called
    // with the peer's details.
    bool LoginRoundTrip(unsigned int requestId);
    // The same through the C interface, with a callback in place of the listener.
    bool LoginRoundTripC(unsigned int requestId);
    // Asks for login details under `requestId` and returns at once; LoginAnswered tells when
    // the answer came (the details are not checked).
    void AskLogin(unsigned int requestId);
    bool LoginAnswered() const;
    // Waits for the answer to the last AskLogin; false when it did not come.
    bool AwaitLogin();

    // Asks for the savegame list and returns at once; ListAnswered tells when the answer came,
    // ListedCount how many entries it had.
    void AskList();
    bool ListAnswered() const;
    unsigned ListedCount() const;

    // Opens slot `slotId` for reading or writing and keeps the handle; true when granted.
    bool OpenReader(uint32_t slotId);
    bool OpenWriter(uint32_t slotId);

    // Reads `count` bytes at `offset` of the open reader into `destination`; true when
    // OnSavegameRead came. The data is not checked here.
    bool Read(void* destination, uint32_t offset, uint32_t count);

    // Writes `data` (`size` bytes) `times` times through the open writer, all requests at once,
    // then waits for every answer; true when all came and each reported `size` bytes.
    bool WriteRepeatedly(const void* data, uint32_t size, unsigned times);
    // Writes `data` (`size` bytes) once through the open writer and returns at once.
    void AskWrite(const void* data, uint32_t size);
    // Waits for the answers to the `times` writes asked since the last wait; true when all came
    // and each reported the size asked.
    bool AwaitWrites(unsigned times);

    // One Update.
    void Update() { session_.Update(); }

    // What went wrong last, for the benchmark's error message.
    const std::string& GetError() const { return error_; }

private:
    // Calls Update until `done()` holds; false (with `what` as the error) after the patience.
    template <typename Done>
    bool Pump(Done done, const char* what);
    struct Listeners;  // the listener objects, defined in the implementation
    halyxdll::HalyxSession session_;
    // A C interface handle of the same session state; destroyed with it.
    KxHalyxdllCSession* cSession_;
    std::unique_ptr<Listeners> listeners_;
    halyxdll::SavegameReader* reader_ = nullptr;
    halyxdll::SavegameWriter* writer_ = nullptr;
    // Ids of the requests that are not timed; the login round trips bring their own.
    uint32_t nextRequestId_ = 1u << 20;
    std::string error_;
};

}  // namespace bench
}  // namespace kx
