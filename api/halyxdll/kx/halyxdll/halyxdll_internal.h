#pragma once

#include <stddef.h>

#include "kx/clientbox/PBConnection.h"
#include "kx/common/Atomic.h"
#include "kx/common/HashTable.h"
#include "kx/common/HybridArray.h"
#include "kx/common/LocalizationCache.h"
#include "kx/common/SharedPtr.h"
#include "velhalyxapi_r2/Listeners.h"

namespace kx {
namespace protocol {
namespace halyxdll {
class Req;
class Rsp;
}  // namespace halyxdll
}  // namespace protocol

namespace halyxdll {

struct SavegameReaderRecord;
struct SavegameWriterRecord;

// How the session hands back a listener object the library made for one request (the
// callback adapters of the C interface) when it lets go of that request without calling the
// listener: a newer request of the same kind under the same id replaced it, its connection was
// lost, or the session state ends. The game's own listeners come without one and are simply
// forgotten, as before.
class IListenerRelease {
public:
    // Called once, on the game's thread, after the session has forgotten the request; the
    // listener is never called afterwards.
    virtual void OnListenerDropped() = 0;

protected:
    ~IListenerRelease() {}
};

// A recorded listener and, for the library's own listener objects, its release hook.
template <typename Listener>
struct PendingListener {
    Listener* listener = nullptr;
    IListenerRelease* release = nullptr;
};

// A list request held back while closed writers wait for their stop-write answers.
struct DelayedGetSavegameList {
    unsigned int requestId = 0;
    IGetSavegameListListener* listener = nullptr;  // may be null
    unsigned int productId = 0;
    IListenerRelease* release = nullptr;
};

// A pending list request: its listener, the product id its listed savegames report and the
// listener's release hook.
struct PendingSavegameList {
    IGetSavegameListListener* listener = nullptr;
    unsigned int productId = 0;
    IListenerRelease* release = nullptr;
};

// Where the parts of a pending savegame read go: the game's buffer and its size in bytes.
// Nothing is ever copied outside [destination, destination + byteCount).
struct ReadDestination {
    unsigned char* destination = nullptr;
    unsigned int byteCount = 0;
};

// The one session state of the process behind every HalyxSession facade: the tables of
// listeners waiting for answers, keyed by the game's request id, the list requests held back
// behind closed writers, the request-id counter and the launcher connection.
//
// Used on the game's thread only; nothing here locks. Listeners run inside the request calls
// (refusals known at once) and inside Update, and may issue further requests from there.
class HalyxSessionData {
public:
    // The session state of the process, or null while no facade has created one.
    static HalyxSessionData* Current();
    // Creates the session state unless one exists. Opens no connection.
    static void CreateIfAbsent();
    // Destroys the session state, if any: closes its launcher connection; no pending listener
    // is called (release hooks are).
    static void Destroy();

    // The record behind a handle of the game, which must belong to the current session state:
    // for the library's other interfaces to the same handles.
    static const SavegameReaderRecord& RecordOf(const SavegameReader* reader);
    static const SavegameWriterRecord& RecordOf(const SavegameWriter* writer);

    // Increments the request-id counter and returns it: 1 first, wrapping modulo 2^32.
    unsigned int GetRequestUniqueId();

    // The text of `key` in `languageCode` from the launcher's localization files, each read at
    // most once per session state (see LocalizationCache::GetLocText). Never null; valid until
    // the next call or the end of the session state.
    const unsigned short* GetLocText(const unsigned short* key, const char* languageCode) {
        return localizations_.GetLocText(key, languageCode);
    }

    // Requests. Each records its listener (when not null) under `requestId`, replacing a
    // pending request of the same kind and id, and sends one request to the launcher; refusals
    // known at once call the listener before returning. Without a launcher connection the
    // listener is recorded and nothing is sent; only GetHalyxServer opens a connection.
    // `release` (may be null) is told when the listener is dropped without being called. A
    // request that throws has neither recorded nor called its listener.
    void GetLoginDetails(unsigned int requestId, IGetLoginDetailsListener* listener,
                         IListenerRelease* release = nullptr);
    void GetHalyxServer(unsigned int requestId, IGetHalyxServerListener* listener,
                        unsigned int productId, unsigned int subProductId,
                        IListenerRelease* release = nullptr);
    void GetSavegameReader(unsigned int requestId, IGetSavegameReaderListener* listener,
                           unsigned int productId, unsigned int slotId,
                           IListenerRelease* release = nullptr);
    void GetSavegameWriter(unsigned int requestId, IGetSavegameWriterListener* listener,
                           unsigned int productId, unsigned int slotId, bool overwriteExisting,
                           IListenerRelease* release = nullptr);
    // Held back (in request order, re-issued newest first) while stop-write answers are due.
    void GetSavegameList(unsigned int requestId, IGetSavegameListListener* listener,
                         unsigned int productId, IListenerRelease* release = nullptr);
    void RemoveSavegame(unsigned int requestId, IRemoveSavegameListener* listener,
                        unsigned int productId, unsigned int slotId,
                        IListenerRelease* release = nullptr);
    // `destination` (byteCount bytes) must stay valid until the listener has been called.
    void Read(unsigned int requestId, ISavegameReadListener* listener, unsigned int productId,
              unsigned int slotId, unsigned int offset, void* destination, unsigned int byteCount,
              IListenerRelease* release = nullptr);
    // Copies the byteCount bytes at `data` into the request before returning.
    void Write(unsigned int requestId, ISavegameWriteListener* listener, unsigned int productId,
               unsigned int slotId, const void* data, unsigned int byteCount,
               IListenerRelease* release = nullptr);
    // The requests of a closing reader and writer (request id 1, no listener). A stop-write
    // that goes out holds back later list requests until its answer arrives.
    void StopRead(unsigned int productId, unsigned int slotId);
    void StopWrite(unsigned int productId, unsigned int slotId, const char* nameUtf8, bool persist);

    // The most answers one Update serves; the rest wait for the next call, so a launcher
    // that never stops sending cannot keep the game inside one Update.
    static constexpr unsigned int kMaxAnswersPerUpdate = 1024;
    // Nor does one Update take further frames once this many milliseconds have passed (at
    // least one frame is taken).
    static constexpr unsigned int kMaxUpdateMilliseconds = 4;
    // The most data of a read part or a write that the kept answer or write request holds on
    // to afterwards.
    static constexpr std::size_t kKeptDataCapacity = 4u << 20;

    // Drops a launcher connection that has closed; otherwise delivers the answers that are
    // complete to their listeners, in arrival order. At most kMaxAnswersPerUpdate frames are
    // taken, whether served or dropped (unparsable, or over a bound of AnswerBounds.h), and
    // none after kMaxUpdateMilliseconds.
    void Update();

    // Makes a message connection over `socket` the launcher connection, as if the launcher
    // pipe had just been opened: for programs that carry the launcher's bytes themselves
    // (fuzzing without a pipe). A connection held already is closed and replaced; its pending
    // listeners are never called.
    void UseLauncherSocket(const common::SharedPtr<clientbox::Socket>& socket);

    // The launcher connection, or null; for inspection. Valid until the next request or
    // Update.
    clientbox::PBConnection* GetConnection() const { return connection_.Get(); }

private:
    HalyxSessionData();
    ~HalyxSessionData();
    HalyxSessionData(const HalyxSessionData&) = delete;
    HalyxSessionData& operator=(const HalyxSessionData&) = delete;

    template <typename Listener>
    using PendingTable = common::HashTable<unsigned int, PendingListener<Listener>>;

    // Records `entry` under `requestId`; a pending entry of the same id that it replaces is
    // dropped and its release hook told. Requests record last, after sending: a request whose
    // sending throws has then recorded nothing.
    template <typename Entry>
    static void Record(common::HashTable<unsigned int, Entry>& table, unsigned int requestId,
                       const Entry& entry) {
        Entry replaced;
        const bool replaces = table.Get(requestId, replaced);
        table.Set(requestId, entry);
        if (replaces && replaced.release != nullptr) replaced.release->OnListenerDropped();
    }

    // Opens the launcher connection unless an open one is held; true when one is open after.
    bool EnsureConnected();
    // Lets go of the connection. Stop-write answers due on it will never come, so the list
    // requests held back for them are re-issued.
    void DropConnection();
    // Forgets every pending listener and read destination: answers to requests sent on a lost
    // connection (or never sent, for want of one) must not reach a later connection's
    // launcher, by which time the game may have freed both. No listener is called; the release
    // hooks are, once every table is empty, so that they may issue new requests.
    void ForgetPendingRequests();
    // Forgets every outstanding stop-write and re-issues the held-back list requests, newest
    // first.
    void ReleaseHeldBackLists();
    // Sends `request` on the connection; without one, sends nothing and logs one line.
    void Send(const protocol::halyxdll::Req& request);

    // Answer handlers, one per served answer kind.
    void Dispatch(const protocol::halyxdll::Rsp& answer);
    void OnLoginDetails(const protocol::halyxdll::Rsp& answer);
    void OnServerPipe(const protocol::halyxdll::Rsp& answer);
    void OnOpenForReading(const protocol::halyxdll::Rsp& answer);
    void OnOpenForWriting(const protocol::halyxdll::Rsp& answer);
    void OnWriteDone(const protocol::halyxdll::Rsp& answer);
    void OnSavegameList(const protocol::halyxdll::Rsp& answer);
    void OnReadPart(const protocol::halyxdll::Rsp& answer);
    void OnRemoveDone(const protocol::halyxdll::Rsp& answer);
    void OnStopWriteDone(const protocol::halyxdll::Rsp& answer);

    PendingTable<IGetLoginDetailsListener> loginDetailsListeners_;
    PendingTable<IGetHalyxServerListener> serverListeners_;
    PendingTable<IGetSavegameReaderListener> readerListeners_;
    PendingTable<IGetSavegameWriterListener> writerListeners_;
    PendingTable<ISavegameReadListener> readListeners_;
    PendingTable<ISavegameWriteListener> writeListeners_;
    common::HashTable<unsigned int, PendingSavegameList> listListeners_;
    PendingTable<IRemoveSavegameListener> removeListeners_;
    PendingTable<IGetNetworkTrafficListener> networkTrafficListeners_;  // never filled
    // Stop-writes sent on the current connection whose answers have not arrived. Only the game's
    // thread touches it, like everything in this class, so it needs no atomicity: it is kept with
    // interlocked operations because the count was defined that way, they cost nothing on this
    // path, and the count stays exact should another thread ever close writers.
    common::AtomicInt32 pendingStopWrites_;
    common::HybridArray<DelayedGetSavegameList, 0> delayedLists_;
    common::HashTable<unsigned int, ReadDestination> readDestinations_;
    unsigned int requestIdCounter_ = 0;
    common::LocalizationCache localizations_;
    common::SharedPtr<clientbox::PBConnection> connection_;
    // The answer every poll parses into. Kept from Update to Update, so that parsing an answer
    // reuses the fields earlier answers allocated; handlers read it only before they call
    // their listener, so a listener may even call Update.
    protocol::halyxdll::Rsp* answer_;
    // The request every savegame write is built in. Kept like the answer: copying the game's
    // data into a string that already has the room takes no heap block, where a fresh one of
    // a large write would be mapped, faulted in and unmapped again for every write.
    protocol::halyxdll::Req* writeRequest_;
};

}  // namespace halyxdll
}  // namespace kx
