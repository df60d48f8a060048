#include "LauncherGameFixture.h"

#include <algorithm>
#include <thread>

#include "UserPlaces.h"
#include "kx/halyxclient/ServerPipe.h"

namespace integration_test {

namespace fs = std::filesystem;

const char* const kUserName = "J\xC3\xBCrgen";
const char16_t* const kPassword = u"\u043F\u0430\u0440\u043E\u043B\u044C";
const char* const kCdKey = "KEY-7-\xC3\x85";

namespace {

// How long one connection attempt waits for its server answer before trying again: an attempt
// sent on a connection that was already lost (but not yet noticed) is never answered.
constexpr std::chrono::seconds kAttemptPatience(5);

// The first call recorded for `requestId`, or null.
template <typename Call>
const Call* Find(const std::vector<Call>& calls, unsigned int requestId) {
    for (const Call& call : calls) {
        if (call.requestId == requestId) return &call;
    }
    return nullptr;
}

}  // namespace

std::string Pattern(std::size_t size, unsigned int seed) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>(i * 31 + (i >> 10) + seed * 101);
    }
    return data;
}

LauncherGameFixture::LauncherGameFixture() : session_(KxHalyxdllGetSession()) {
    kx::halyxclient::testing::IsolateUserPlaces(dir_.Path());
    WriteWholeFile(dir_.Path() / "launcher.conf",
                   std::string("username = ") + kUserName +
                       "\npassword = \xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C\ncdkey = " +
                       kCdKey + "\nproducts = " + std::to_string(kProduct) + "\n");
}

LauncherGameFixture::~LauncherGameFixture() {
    delete session_;
}

fs::path LauncherGameFixture::LauncherLog() const {
    return dir_.Path() / ("launcher-" + std::to_string(launcherStarts_) + ".log");
}

std::string LauncherGameFixture::LauncherLogText() const {
    return ReadWholeFile(LauncherLog());
}

bool LauncherGameFixture::StartLauncher(const std::vector<std::string>& options) {
    ++launcherStarts_;
    std::vector<std::string> args = {"--data-dir", (dir_.Path() / "data").string(), "--config",
                                     (dir_.Path() / "launcher.conf").string(), "-v"};
    args.insert(args.end(), options.begin(), options.end());
    launcher_ = LauncherProcess::Start(args, LauncherLog());
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (launcher_ && std::chrono::steady_clock::now() < deadline) {
        if (LauncherLogText().find("serving ") != std::string::npos) return true;
        if (launcher_->WaitExit(std::chrono::milliseconds(20))) break;
    }
    ADD_FAILURE() << "the launcher did not come up:\n" << LauncherLogText();
    return false;
}

void LauncherGameFixture::StopLauncher() {
    ASSERT_TRUE(launcher_);
    launcher_->Stop();
    EXPECT_EQ(launcher_->WaitExit(kPatience),
              std::optional<int>(kx::devlauncher::testing::kStoppedExitCode))
        << LauncherLogText();
    launcher_.reset();
}

void LauncherGameFixture::KillLauncher() {
    ASSERT_TRUE(launcher_);
    launcher_->Kill();
    EXPECT_TRUE(launcher_->WaitExit(kPatience));
    launcher_.reset();
}

bool LauncherGameFixture::PumpUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
        session_->Update();
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool LauncherGameFixture::Connect() {
    const std::size_t first = server_.calls.size();
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    bool connected = false;
    while (!connected && std::chrono::steady_clock::now() < deadline) {
        const std::size_t before = server_.calls.size();
        session_->GetHalyxServer(NextId(), &server_, kProduct, 0);
        const auto attemptEnd = std::chrono::steady_clock::now() + kAttemptPatience;
        while (server_.calls.size() == before && std::chrono::steady_clock::now() < attemptEnd) {
            session_->Update();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        // A slow answer to an earlier attempt counts as well.
        for (std::size_t i = first; i < server_.calls.size(); ++i) {
            if (kx::halyxclient::IsOpenPipe(server_.calls[i].pipe)) {
                kx::halyxclient::ClosePipe(server_.calls[i].pipe);
                server_.calls[i].pipe = InvalidPipe();
                connected = true;
            }
        }
        if (!connected) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return connected;
}

LoginCall LauncherGameFixture::AskLoginDetails() {
    const unsigned int id = NextId();
    session_->GetLoginDetails(id, &logins_);
    const LoginCall* call = nullptr;
    if (!PumpUntil([&] { return (call = Find(logins_.calls, id)) != nullptr; })) {
        ADD_FAILURE() << "no answer to login request " << id;
        return LoginCall{};
    }
    return *call;
}

std::vector<ListedSavegame> LauncherGameFixture::List() {
    const unsigned int id = NextId();
    session_->GetSavegameList(id, &lists_, kProduct);
    const ListCall* call = nullptr;
    if (!PumpUntil([&] { return (call = Find(lists_.calls, id)) != nullptr; })) {
        ADD_FAILURE() << "no answer to list request " << id;
        return {};
    }
    return call->savegames;
}

SavegameWriter* LauncherGameFixture::OpenWriter(unsigned int slot, bool overwrite,
                                                unsigned int* result) {
    const unsigned int id = NextId();
    *result = kNoAnswer;
    session_->GetSavegameWriter(id, &writers_, kProduct, slot, overwrite);
    const WriterCall* call = nullptr;
    if (!PumpUntil([&] { return (call = Find(writers_.calls, id)) != nullptr; })) {
        ADD_FAILURE() << "no answer to opening slot " << slot << " for writing";
        return nullptr;
    }
    *result = call->result;
    return call->writer;
}

SavegameReader* LauncherGameFixture::OpenReader(unsigned int slot, unsigned int* result) {
    const unsigned int id = NextId();
    *result = kNoAnswer;
    session_->GetSavegameReader(id, &readers_, kProduct, slot);
    const ReaderCall* call = nullptr;
    if (!PumpUntil([&] { return (call = Find(readers_.calls, id)) != nullptr; })) {
        ADD_FAILURE() << "no answer to opening slot " << slot << " for reading";
        return nullptr;
    }
    *result = call->result;
    return call->reader;
}

bool LauncherGameFixture::WriteInPieces(SavegameWriter* writer, const std::string& data,
                                        unsigned int pieces) {
    std::vector<unsigned int> ids;
    std::size_t offset = 0;
    for (unsigned int i = 1; i <= pieces; ++i) {
        const std::size_t end = data.size() * i / pieces;
        ids.push_back(NextId());
        writer->Write(ids.back(), &writes_, data.data() + offset,
                      static_cast<unsigned int>(end - offset));
        offset = end;
    }
    const bool answered = PumpUntil([&] {
        return std::all_of(ids.begin(), ids.end(),
                           [&](unsigned int id) { return Find(writes_.calls, id) != nullptr; });
    });
    if (!answered) {
        ADD_FAILURE() << "not every write was acknowledged";
        return false;
    }
    std::size_t written = 0;
    for (unsigned int id : ids) written += Find(writes_.calls, id)->value;
    EXPECT_EQ(written, data.size());
    return written == data.size();
}

SavegameWriter* LauncherGameFixture::StartSaving(unsigned int slot, const std::string& data) {
    unsigned int result = 0;
    SavegameWriter* writer = OpenWriter(slot, true, &result);
    if (writer == nullptr) {
        ADD_FAILURE() << "slot " << slot << " cannot be opened for writing: result " << result;
        return nullptr;
    }
    if (!WriteInPieces(writer, data, 3)) {
        writer->Close(false);
        return nullptr;
    }
    return writer;
}

void LauncherGameFixture::Save(unsigned int slot, const std::string& data,
                               const std::u16string& name) {
    SavegameWriter* writer = StartSaving(slot, data);
    ASSERT_NE(writer, nullptr);
    EXPECT_TRUE(writer->SetName(Units(name)));
    writer->Close(true);
    // A list made after a writer's Close goes out once the launcher has answered that Close.
    const std::vector<ListedSavegame> listed = List();
    const bool shown = std::any_of(listed.begin(), listed.end(), [&](const ListedSavegame& s) {
        return s.savegameId == slot && s.size == data.size() && s.name == name;
    });
    EXPECT_TRUE(shown) << "slot " << slot << " is not listed as saved";
}

std::string LauncherGameFixture::Load(unsigned int slot, unsigned int size,
                                      unsigned int* lastPart) {
    unsigned int result = 0;
    SavegameReader* reader = OpenReader(slot, &result);
    if (reader == nullptr) {
        ADD_FAILURE() << "slot " << slot << " cannot be opened for reading: result " << result;
        return std::string();
    }
    // Kept as long as the fixture: a read that timed out may still be answered later.
    readBuffers_.push_back(std::make_unique<std::string>(size, '\0'));
    std::string& buffer = *readBuffers_.back();
    const unsigned int id = NextId();
    reader->Read(id, &reads_, 0, &buffer[0], size);
    const ResultCall* call = nullptr;
    const bool read = PumpUntil([&] { return (call = Find(reads_.calls, id)) != nullptr; });
    reader->Close();
    if (!read) {
        ADD_FAILURE() << "the read of slot " << slot << " was not answered";
        return std::string();
    }
    if (lastPart != nullptr) *lastPart = call->value;
    return buffer;
}

void LauncherGameFixture::ExpectOnlySavegame(unsigned int slot, const std::u16string& name,
                                             const std::string& data) {
    const std::vector<ListedSavegame> listed = List();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].savegameId, slot);
    EXPECT_EQ(listed[0].name, name);
    EXPECT_EQ(listed[0].size, data.size());
    EXPECT_TRUE(Load(slot, static_cast<unsigned int>(data.size())) == data);
    EXPECT_EQ(ProductFiles(), std::vector<std::string>{std::to_string(slot) + ".sav"});
}

std::vector<std::string> LauncherGameFixture::ProductFiles() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const fs::directory_entry& file :
         fs::directory_iterator(dir_.Path() / "data" / std::to_string(kProduct), ec)) {
        names.push_back(file.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

int LauncherGameFixture::RunClient(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"--timeout", "30"};
    all.insert(all.end(), args.begin(), args.end());
    return RunProgram("halyx_client", all);
}

int LauncherGameFixture::RunProgram(const std::string& program,
                                    const std::vector<std::string>& args, std::string* output) {
    const fs::path log = dir_.Path() / (program + ".log");
    std::unique_ptr<LauncherProcess> game = LauncherProcess::Start(args, log, program);
    if (!game) return -1;
    const std::optional<int> code = game->WaitExit(kPatience);
    if (output != nullptr) *output = ReadWholeFile(log);
    return code ? *code : -1;
}

}  // namespace integration_test
