#include "game/GameSession.h"

#include <string.h>

#include <chrono>
#include <thread>

#include "shared/PeerContract.h"

namespace kx {
namespace bench {

using namespace halyxdll;

namespace {

// The answers of one kind of request: listeners count calls and remember the last outcome.
struct ServerListener final : IGetHalyxServerListener {
    void OnGetHalyxServer(unsigned int, PipeHandle) override { answered = true; }
    bool answered = false;
};

struct LoginListener final : IGetLoginDetailsListener {
    void OnGetLoginDetails(unsigned int requestId, const char* userName,
                           const unsigned short* password, const char* cdKey) override {
        // The password is the only UTF-16 text: its length is enough to see it arrived whole.
        unsigned passwordUnits = 0;
        while (password[passwordUnits] != 0) ++passwordUnits;
        valid = requestId == expectedId && strcmp(userName, kUserName) == 0 &&
                strcmp(cdKey, kCdKey) == 0 && passwordUnits == strlen(kPassword);
        answered = true;
    }
    unsigned int expectedId = 0;
    bool answered = false;
    bool valid = false;
};

struct ReaderListener final : IGetSavegameReaderListener {
    void OnGetSavegameReader(unsigned int, unsigned int, SavegameReader* opened) override {
        reader = opened;
        answered = true;
    }
    SavegameReader* reader = nullptr;
    bool answered = false;
};

struct WriterListener final : IGetSavegameWriterListener {
    void OnGetSavegameWriter(unsigned int, unsigned int, SavegameWriter* opened) override {
        writer = opened;
        answered = true;
    }
    SavegameWriter* writer = nullptr;
    bool answered = false;
};

struct ReadListener final : ISavegameReadListener {
    void OnSavegameRead(unsigned int, unsigned int) override { answered = true; }
    bool answered = false;
};

struct WriteListener final : ISavegameWriteListener {
    void OnSavegameWrite(unsigned int, unsigned int byteCount) override {
        if (byteCount != expectedBytes) ++shortWrites;
        ++answers;
    }
    uint32_t expectedBytes = 0;
    unsigned answers = 0;
    unsigned shortWrites = 0;
};

struct ListListener final : IGetSavegameListListener {
    void OnGetSavegameList(unsigned int, SavegameInfo*, unsigned int entries) override {
        count = entries;
        answered = true;
    }
    unsigned count = 0;
    bool answered = false;
};

// Checking the clock on every Update would cost as much as the Update itself.
constexpr unsigned kUpdatesPerClockCheck = 1024;

}  // namespace

struct GameSession::Listeners {
    LoginListener login;
    ReadListener read;
    WriteListener write;
    ListListener list;
};

template <typename Done>
bool GameSession::Pump(Done done, const char* what) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kPatienceSeconds);
    for (unsigned updates = 1; !done(); ++updates) {
        session_.Update();
        // A loop that never yields takes a core from the library's reader thread and from the
        // peer, which on a machine of few cores slows the very transfer it waits for.
        std::this_thread::yield();
        if (updates % kUpdatesPerClockCheck == 0 && std::chrono::steady_clock::now() > deadline) {
            error_ = what;
            return false;
        }
    }
    return true;
}

GameSession::GameSession() : cSession_(KxHalyxdllCCreateSession()), listeners_(new Listeners) {}

GameSession::~GameSession() {
    if (reader_ != nullptr) reader_->Close();
    if (writer_ != nullptr) writer_->Close(false);
    if (cSession_ != nullptr) KxHalyxdllCDestroySession(cSession_);
}

bool GameSession::Connect() {
    ServerListener server;
    session_.GetHalyxServer(nextRequestId_++, &server, 1, 0);
    return Pump([&] { return server.answered; },
                "no answer to GetHalyxServer (is the peer serving?)");
}

bool GameSession::LoginRoundTrip(unsigned int requestId) {
    AskLogin(requestId);
    if (!AwaitLogin()) return false;
    if (!listeners_->login.valid) error_ = "wrong login details";
    return listeners_->login.valid;
}

void GameSession::AskLogin(unsigned int requestId) {
    LoginListener& login = listeners_->login;
    login.expectedId = requestId;
    login.answered = false;
    session_.GetLoginDetails(requestId, &login);
}

bool GameSession::LoginAnswered() const {
    return listeners_->login.answered;
}

bool GameSession::AwaitLogin() {
    return Pump([&] { return LoginAnswered(); }, "no answer to GetLoginDetails");
}

void GameSession::AskList() {
    listeners_->list.answered = false;
    session_.GetSavegameList(nextRequestId_++, &listeners_->list, 1);
}

bool GameSession::ListAnswered() const {
    return listeners_->list.answered;
}

unsigned GameSession::ListedCount() const {
    return listeners_->list.count;
}

bool GameSession::LoginRoundTripC(unsigned int requestId) {
    // The login listener checks the answer; the callback hands it on.
    LoginListener& login = listeners_->login;
    login.expectedId = requestId;
    login.answered = false;
    KxHalyxdllCGetLoginDetails(
        cSession_, requestId,
        [](void* context, uint32_t id, const char* userName, const uint16_t* password,
           const char* cdKey) {
            static_cast<LoginListener*>(context)->OnGetLoginDetails(id, userName, password, cdKey);
        },
        &login);
    if (!Pump([&] { return login.answered; }, "no answer to KxHalyxdllCGetLoginDetails"))
        return false;
    if (!login.valid) error_ = "wrong login details";
    return login.valid;
}

bool GameSession::OpenReader(uint32_t slotId) {
    ReaderListener listener;
    session_.GetSavegameReader(nextRequestId_++, &listener, 1, slotId);
    if (!Pump([&] { return listener.answered; }, "no answer to GetSavegameReader")) return false;
    if (listener.reader == nullptr) error_ = "reader refused";
    if (reader_ != nullptr) reader_->Close();
    reader_ = listener.reader;
    return reader_ != nullptr;
}

bool GameSession::OpenWriter(uint32_t slotId) {
    WriterListener listener;
    session_.GetSavegameWriter(nextRequestId_++, &listener, 1, slotId, true);
    if (!Pump([&] { return listener.answered; }, "no answer to GetSavegameWriter")) return false;
    if (listener.writer == nullptr) error_ = "writer refused";
    if (writer_ != nullptr) writer_->Close(false);
    writer_ = listener.writer;
    return writer_ != nullptr;
}

bool GameSession::Read(void* destination, uint32_t offset, uint32_t count) {
    ReadListener& read = listeners_->read;
    read.answered = false;
    reader_->Read(nextRequestId_++, &read, offset, destination, count);
    return Pump([&] { return read.answered; }, "savegame read not finished");
}

bool GameSession::WriteRepeatedly(const void* data, uint32_t size, unsigned times) {
    for (unsigned i = 0; i < times; ++i) AskWrite(data, size);
    return AwaitWrites(times);
}

void GameSession::AskWrite(const void* data, uint32_t size) {
    WriteListener& write = listeners_->write;
    write.expectedBytes = size;
    writer_->Write(nextRequestId_++, &write, data, size);
}

bool GameSession::AwaitWrites(unsigned times) {
    WriteListener& write = listeners_->write;
    const bool answered =
        Pump([&] { return write.answers >= times; }, "savegame writes not all answered");
    const bool whole = write.shortWrites == 0;
    write.answers = 0;
    write.shortWrites = 0;
    if (answered && !whole) error_ = "a write was answered with a short count";
    return answered && whole;
}

}  // namespace bench
}  // namespace kx
