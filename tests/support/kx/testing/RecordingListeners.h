#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "velhalyxapi_r2.h"

namespace kx {
namespace testing {

using namespace kx::halyxdll;

// Everything here is inline: compiled into each test program against the library as that
// program links it (its objects, or the shared library through its import library).

// The number of the Update call that PumpUntil or PumpFor is in: listeners note it, so tests
// can tell which answers one Update served.
inline int& CurrentUpdate() {
    static int update = 0;
    return update;
}

// How long PumpUntil calls Update before it reports failure.
constexpr int kPumpMilliseconds = 5000;

// Calls the session's Update (through the plain export) until `done` or kPumpMilliseconds have
// passed; true when `done` became true.
inline bool PumpUntil(HalyxSession* session, const std::function<bool()>& done) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kPumpMilliseconds);
    while (std::chrono::steady_clock::now() < deadline) {
        ++CurrentUpdate();
        KxHalyxdllUpdate(session);
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Calls Update repeatedly for about `milliseconds`.
inline void PumpFor(HalyxSession* session, int milliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < deadline) {
        ++CurrentUpdate();
        KxHalyxdllUpdate(session);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// The handle a server-pipe listener receives on failure: all bits set.
inline PipeHandle InvalidPipe() {
    return reinterpret_cast<PipeHandle>(static_cast<intptr_t>(-1));
}

inline std::u16string ToU16(const unsigned short* text) {
    std::u16string result;
    if (text == nullptr) return result;
    while (*text != 0) result.push_back(static_cast<char16_t>(*text++));
    return result;
}
inline const unsigned short* Units(const std::u16string& text) {
    return reinterpret_cast<const unsigned short*>(text.c_str());
}

// Listeners that record every call; `then`, when set, runs after the call was recorded.
struct LoginCall {
    unsigned int requestId;
    std::string userName;
    std::u16string password;
    std::string cdKey;
};
struct LoginListener : IGetLoginDetailsListener {
    void OnGetLoginDetails(unsigned int requestId, const char* userName,
                           const unsigned short* password, const char* cdKey) override {
        calls.push_back({requestId, userName, ToU16(password), cdKey});
        if (then) then(requestId);
    }
    std::vector<LoginCall> calls;
    std::function<void(unsigned int)> then;
};

struct ServerCall {
    unsigned int requestId;
    PipeHandle pipe;
};
struct ServerListener : IGetHalyxServerListener {
    void OnGetHalyxServer(unsigned int requestId, PipeHandle pipe) override {
        calls.push_back({requestId, pipe});
    }
    std::vector<ServerCall> calls;
};

struct ReaderCall {
    unsigned int requestId;
    unsigned int result;
    SavegameReader* reader;
    int update;
};
struct ReaderListener : IGetSavegameReaderListener {
    void OnGetSavegameReader(unsigned int requestId, unsigned int result,
                             SavegameReader* reader) override {
        calls.push_back({requestId, result, reader, CurrentUpdate()});
        if (then) then(requestId);
    }
    std::vector<ReaderCall> calls;
    std::function<void(unsigned int)> then;
};

struct WriterCall {
    unsigned int requestId;
    unsigned int result;
    SavegameWriter* writer;
};
struct WriterListener : IGetSavegameWriterListener {
    void OnGetSavegameWriter(unsigned int requestId, unsigned int result,
                             SavegameWriter* writer) override {
        calls.push_back({requestId, result, writer});
    }
    std::vector<WriterCall> calls;
};

// What a listed savegame showed during the call.
struct ListedSavegame {
    std::u16string name;
    unsigned int productId;
    unsigned int savegameId;
    unsigned int size;
};
struct ListCall {
    unsigned int requestId;
    std::vector<ListedSavegame> savegames;
    int update;
};
struct ListListener : IGetSavegameListListener {
    void OnGetSavegameList(unsigned int requestId, SavegameInfo* savegames,
                           unsigned int count) override {
        ListCall call{requestId, {}, CurrentUpdate()};
        for (unsigned int i = 0; i < count; ++i) {
            SavegameInfo* info = &savegames[i];
            call.savegames.push_back({ToU16(KxHalyxdllSaveGameInfoGetName(info)),
                                      KxHalyxdllSaveGameInfoGetProductId(info),
                                      KxHalyxdllSaveGameInfoGetSavegameId(info),
                                      KxHalyxdllSaveGameInfoGetSize(info)});
        }
        calls.push_back(call);
        if (then) then(requestId);
    }
    std::vector<ListCall> calls;
    std::function<void(unsigned int)> then;
};

struct ResultCall {
    unsigned int requestId;
    unsigned int value;
    int update;
};
struct RemoveListener : IRemoveSavegameListener {
    void OnRemoveSavegame(unsigned int requestId, unsigned int result) override {
        calls.push_back({requestId, result, CurrentUpdate()});
    }
    std::vector<ResultCall> calls;
};
struct ReadListener : ISavegameReadListener {
    void OnSavegameRead(unsigned int requestId, unsigned int byteCount) override {
        calls.push_back({requestId, byteCount, CurrentUpdate()});
    }
    std::vector<ResultCall> calls;
};
struct WriteListener : ISavegameWriteListener {
    void OnSavegameWrite(unsigned int requestId, unsigned int byteCount) override {
        calls.push_back({requestId, byteCount, CurrentUpdate()});
    }
    std::vector<ResultCall> calls;
};

}  // namespace testing
}  // namespace kx
