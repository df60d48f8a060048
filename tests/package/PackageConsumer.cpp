// Includes nothing but the public header, so that it also builds for the MSVC ABI without a C
// runtime (MsvcEntry.cpp).
#include "PackageConsumer.h"

#include "velhalyxapi_r2.h"

namespace hx = kx::halyxdll;

namespace {

// Records the one call an immediate refusal makes. Marked final: games commonly compile with
// warnings about polymorphic classes without virtual destructors.
class ReaderListener final : public hx::IGetSavegameReaderListener {
public:
    void OnGetSavegameReader(unsigned int requestId, unsigned int result,
                             hx::SavegameReader* reader) override {
        ++calls;
        lastId = requestId;
        lastResult = result;
        lastReader = reader;
    }
    int calls = 0;
    unsigned int lastId = 0;
    unsigned int lastResult = 0;
    hx::SavegameReader* lastReader = nullptr;
};

class WriterListener final : public hx::IGetSavegameWriterListener {
public:
    void OnGetSavegameWriter(unsigned int requestId, unsigned int result,
                             hx::SavegameWriter* writer) override {
        ++calls;
        lastId = requestId;
        lastResult = result;
        lastWriter = writer;
    }
    int calls = 0;
    unsigned int lastId = 0;
    unsigned int lastResult = 0;
    hx::SavegameWriter* lastWriter = nullptr;
};

class RemoveListener final : public hx::IRemoveSavegameListener {
public:
    void OnRemoveSavegame(unsigned int requestId, unsigned int result) override {
        ++calls;
        lastId = requestId;
        lastResult = result;
    }
    int calls = 0;
    unsigned int lastId = 0;
    unsigned int lastResult = 0;
};

class ServerListener final : public hx::IGetHalyxServerListener {
public:
    void OnGetHalyxServer(unsigned int requestId, hx::PipeHandle pipe) override {
        ++calls;
        lastId = requestId;
        lastPipe = pipe;
    }
    int calls = 0;
    unsigned int lastId = 0;
    hx::PipeHandle lastPipe = nullptr;
};

class TrafficListener final : public hx::IGetNetworkTrafficListener {};

}  // namespace

int RunPackageChecks() {
    hx::HalyxSession* session = KxHalyxdllGetSession();
    if (session == nullptr) return 1;
    if (KxHalyxdllGetFakeSession() != nullptr) return 2;
    if (KxHalyxdllGetRequestUniqueId(session) != 1) return 3;
    if (KxHalyxdllGetRequestUniqueId(session) != 2) return 4;
    // A second facade shares the session state: ids keep counting.
    hx::HalyxSession* second = KxHalyxdllGetSession();
    if (second == nullptr || second == session) return 5;
    if (KxHalyxdllGetRequestUniqueId(second) != 3) return 6;

    // Slot 0 is refused before the call returns: the listener's one operation is reached
    // through the first slot of its virtual table, whichever compiler built the game.
    ReaderListener reader;
    KxHalyxdllGetSavegameReader(session, 10, &reader, 7, 0);
    if (reader.calls != 1 || reader.lastId != 10 || reader.lastResult != 3 ||
        reader.lastReader != nullptr)
        return 7;
    WriterListener writer;
    KxHalyxdllGetSavegameWriter(session, 11, &writer, 7, 0, true);
    if (writer.calls != 1 || writer.lastId != 11 || writer.lastResult != 3 ||
        writer.lastWriter != nullptr)
        return 8;
    RemoveListener remove;
    KxHalyxdllRemoveSavegame(session, 12, &remove, 7, 0);
    if (remove.calls != 1 || remove.lastId != 12 || remove.lastResult != 3) return 9;

    // No launcher runs: the server request fails at once with the invalid handle (all bits
    // set), and no connection is left behind for Update to serve.
    ServerListener server;
    KxHalyxdllGetHalyxServer(session, 13, &server, 1, 0);
    const hx::PipeHandle invalid =
        reinterpret_cast<hx::PipeHandle>(~static_cast<decltype(sizeof(0))>(0));
    if (server.calls != 1 || server.lastId != 13 || server.lastPipe != invalid) return 10;

    TrafficListener traffic;
    KxHalyxdllGetNetworkTraffic(session, 14, &traffic);
    for (int i = 0; i < 3; ++i) KxHalyxdllUpdate(session);
    if (reader.calls != 1 || writer.calls != 1 || remove.calls != 1 || server.calls != 1) return 11;

    // Localized texts: never null, whatever is installed.
    const unsigned short key[] = {'T', 'i', 't', 'l', 'e', 0};
    if (KxHalyxdllGetLocText(session, key, "en") == nullptr) return 12;
    return 0;
}
