#include "kx/halyxdll/halyxdll_internal.h"

#include <string.h>

#include "HalyxDll.pb.h"
#include "kx/clientbox/NamedPipeSocket.h"
#include "kx/common/String.h"
#include "kx/common/TickTimer.h"
#include "kx/halyxdll/AnswerBounds.h"
#include "kx/halyxdll/PipeName.h"
#include "kx/halyxdll/SavegameRecords.h"
#include "kx/halyxdll/SavegameResults.h"
#include "kx/halyxdll/ServerPipe.h"
#include "kx/logger/LogRecord.h"
#include "velhalyxapi_r2/SavegameHandles.h"

namespace kx {
namespace halyxdll {

namespace wire = protocol::halyxdll;

namespace {

// The process-wide reference; touched on the game's thread only.
HalyxSessionData* g_session = nullptr;

// Forgets what `table` holds under `requestId` once its listener has been served: a request
// of the same kind that the listener issued under the same id is forgotten with it, as
// always (its release hook is told).
template <typename Entry>
void ForgetServed(common::HashTable<unsigned int, Entry>& table, unsigned int requestId) {
    Entry issued;
    if (!table.Get(requestId, issued)) return;
    table.Remove(requestId);
    if (issued.release != nullptr) issued.release->OnListenerDropped();
}

// The common shape of an answer handler: take the entry of the request id out of `table`
// (absent: the answer is dropped), hand it to `serve`, then forget the id as above. Taken out
// before serving, so that the served listener is never also dropped, and a second answer to
// the same request reaching a nested Update finds nothing.
template <typename Entry, typename Serve>
void ServeEntry(common::HashTable<unsigned int, Entry>& table, unsigned int requestId,
                Serve serve) {
    Entry entry;
    if (!table.Get(requestId, entry)) return;
    table.Remove(requestId);
    serve(entry);
    ForgetServed(table, requestId);
}

// Adds the release hooks of every entry of `table` to `releases` and empties the table.
template <typename Entry>
void TakeReleases(common::HashTable<unsigned int, Entry>& table,
                  common::HybridArray<IListenerRelease*, 0>* releases) {
    typename common::HashTable<unsigned int, Entry>::Iterator entries(table);
    while (entries.Next()) {
        IListenerRelease* release = entries.Current().GetValue().release;
        if (release != nullptr) releases->Add(release);
    }
    table.Clear();
}

// Turns the UTF-8 bytes of an answer field into text; text that does not decode is empty.
common::String Decode(const std::string& utf8) {
    common::String text;
    text.SetUtf8(utf8.data(), static_cast<int>(utf8.size()));
    return text;
}

// Overwrites a secret text of an answer with zeros and empties it.
void WipeText(std::string* text) {
    volatile char* bytes = &(*text)[0];
    for (std::size_t i = 0; i < text->size(); ++i) bytes[i] = 0;
    text->clear();
}

}  // namespace

HalyxSessionData* HalyxSessionData::Current() {
    return g_session;
}

void HalyxSessionData::CreateIfAbsent() {
    if (g_session == nullptr) g_session = new HalyxSessionData();
}

void HalyxSessionData::Destroy() {
    delete g_session;
    g_session = nullptr;
}

HalyxSessionData::HalyxSessionData() : answer_(new wire::Rsp), writeRequest_(new wire::Req) {}

const SavegameReaderRecord& HalyxSessionData::RecordOf(const SavegameReader* reader) {
    KX_CHECK(reader != nullptr && reader->record_ != nullptr);
    KX_CHECK(reader->record_->session == g_session);
    return *reader->record_;
}

const SavegameWriterRecord& HalyxSessionData::RecordOf(const SavegameWriter* writer) {
    KX_CHECK(writer != nullptr && writer->record_ != nullptr);
    KX_CHECK(writer->record_->session == g_session);
    return *writer->record_;
}

HalyxSessionData::~HalyxSessionData() {
    // The socket keeps itself alive while its read is outstanding: without closing it, the
    // pipe would stay open for the life of the process.
    if (!connection_.IsNull()) connection_->Close();
    ForgetPendingRequests();
    while (delayedLists_.GetCount() > 0) {
        const DelayedGetSavegameList delayed = delayedLists_.Pop();
        if (delayed.release != nullptr) delayed.release->OnListenerDropped();
    }
    delete answer_;
    delete writeRequest_;
}

unsigned int HalyxSessionData::GetRequestUniqueId() {
    return ++requestIdCounter_;
}

bool HalyxSessionData::EnsureConnected() {
    if (!connection_.IsNull() && !connection_->IsClosed()) return true;
    common::SharedPtr<clientbox::NamedPipeSocket> socket(new clientbox::NamedPipeSocket());
    if (!socket->Connect(kLauncherPipeName.GetUtf8())) return false;
    UseLauncherSocket(socket);
    return !connection_->IsClosed();
}

void HalyxSessionData::UseLauncherSocket(const common::SharedPtr<clientbox::Socket>& socket) {
    const bool replacesAnother = !connection_.IsNull();
    if (replacesAnother) connection_->Close();
    connection_ = common::SharedPtr<clientbox::PBConnection>(new clientbox::PBConnection(socket));
    ForgetPendingRequests();
    // The previous connection's stop-write answers will never come; the held-back list
    // requests go out on the new one.
    if (replacesAnother) ReleaseHeldBackLists();
}

void HalyxSessionData::DropConnection() {
    connection_.Reset();
    ForgetPendingRequests();
    ReleaseHeldBackLists();
}

void HalyxSessionData::ForgetPendingRequests() {
    common::HybridArray<IListenerRelease*, 0> releases;
    TakeReleases(loginDetailsListeners_, &releases);
    TakeReleases(serverListeners_, &releases);
    TakeReleases(readerListeners_, &releases);
    TakeReleases(writerListeners_, &releases);
    TakeReleases(readListeners_, &releases);
    TakeReleases(writeListeners_, &releases);
    TakeReleases(listListeners_, &releases);
    TakeReleases(removeListeners_, &releases);
    readDestinations_.Clear();
    for (unsigned int i = 0; i < releases.GetCount(); ++i) releases.At(i)->OnListenerDropped();
}

void HalyxSessionData::ReleaseHeldBackLists() {
    pendingStopWrites_.Store(0);
    while (delayedLists_.GetCount() > 0) {
        const DelayedGetSavegameList delayed = delayedLists_.Pop();
        GetSavegameList(delayed.requestId, delayed.listener, delayed.productId, delayed.release);
    }
}

void HalyxSessionData::Send(const wire::Req& request) {
    if (connection_.IsNull()) {
        KX_LOG(common::kLogInfo) << "No launcher connection: request " << request.requestid()
                                 << " not sent.";
        return;
    }
    connection_->Send(request);
}

void HalyxSessionData::Update() {
    if (connection_.IsNull()) return;
    if (connection_->IsClosed()) {
        DropConnection();
        return;
    }
    // The connection is read afresh for every frame: a listener may have dropped or replaced
    // it, even from an Update of its own. Dropped frames count against the budget too, so a
    // launcher streaming garbage cannot hold the game here either; nor can frames that are
    // slow to take (under Wine every one may cost a round trip to its server).
    const common::TickTimer budget(kMaxUpdateMilliseconds);
    for (unsigned int taken = 0;
         taken < kMaxAnswersPerUpdate && !connection_.IsNull() && budget.GetRemaining() > 0;
         ++taken) {
        const clientbox::PBConnection::Outcome outcome =
            connection_->TakeFrame(answer_, &CheckAnswerBounds);
        if (outcome == clientbox::PBConnection::Outcome::kNothing) break;
        if (outcome == clientbox::PBConnection::Outcome::kMessage) Dispatch(*answer_);
        // A read part's data stays allocated in the answer; an unusually large one is not
        // kept for the rest of the session.
        if (answer_->readsavegame().data().capacity() > kKeptDataCapacity) {
            delete answer_;
            answer_ = new wire::Rsp;
        }
    }
}

void HalyxSessionData::Dispatch(const wire::Rsp& answer) {
    if (answer.has_getlogindetails()) {
        OnLoginDetails(answer);
    } else if (answer.has_getosi()) {
        OnServerPipe(answer);
    } else if (answer.has_startreadsavegame()) {
        OnOpenForReading(answer);
    } else if (answer.has_startwritesavegame()) {
        OnOpenForWriting(answer);
    } else if (answer.has_writesavegame()) {
        OnWriteDone(answer);
    } else if (answer.has_listsavegames()) {
        OnSavegameList(answer);
    } else if (answer.has_readsavegame()) {
        OnReadPart(answer);
    } else if (answer.has_removesavegame()) {
        OnRemoveDone(answer);
    } else if (answer.has_stopwritesavegame()) {
        OnStopWriteDone(answer);
    } else {
        KX_LOG(common::kLogError) << "Answer " << answer.requestid()
                                  << " carries nothing this library serves; dropped.";
    }
}

void HalyxSessionData::OnLoginDetails(const wire::Rsp& answer) {
    const unsigned int requestId = answer.requestid();
    ServeEntry(loginDetailsListeners_, requestId,
               [&](const PendingListener<IGetLoginDetailsListener>& pending) {
                   IGetLoginDetailsListener* listener = pending.listener;
                   if (listener == nullptr) return;
                   const wire::GetLoginDetailsRsp& details = answer.getlogindetails();
                   const common::String userName = Decode(details.username());
                   common::String password = Decode(details.password());
                   common::String cdKey = Decode(details.cdkey());
                   listener->OnGetLoginDetails(requestId, userName.GetUtf8(), password.GetUtf16(),
                                               cdKey.GetUtf8());
                   password.Wipe();
                   cdKey.Wipe();
               });
    // The kept answer would hold the secrets until the next answer of its kind.
    wire::GetLoginDetailsRsp* details = answer_->mutable_getlogindetails();
    WipeText(details->mutable_password());
    WipeText(details->mutable_cdkey());
}

void HalyxSessionData::OnServerPipe(const wire::Rsp& answer) {
    const unsigned int requestId = answer.requestid();
    // Only a pipe somebody waits for is opened: the launcher cannot make the game open pipes.
    ServeEntry(
        serverListeners_, requestId, [&](const PendingListener<IGetHalyxServerListener>& pending) {
            IGetHalyxServerListener* listener = pending.listener;
            const wire::GetOsiRsp& server = answer.getosi();
            clientbox::PipeHandle pipe = clientbox::InvalidPipeHandle();
            if (server.status() == wire::GetOsiRsp::Ok && server.has_pipename()) {
                const std::string& name = server.pipename();
                if (!IsPlainPipeName(name.data(), name.size())) {
                    KX_LOG(common::kLogError) << "Server pipe name of answer " << requestId
                                              << " refused: not a plain pipe name.";
                } else {
                    pipe = OpenServerPipe(name.data(), name.size());
                    if (pipe == clientbox::InvalidPipeHandle()) {
                        KX_LOG(common::kLogError)
                            << "Server pipe of answer " << requestId << " could not be opened.";
                    }
                }
            }
            listener->OnGetHalyxServer(requestId, pipe);
        });
}

void HalyxSessionData::OnOpenForReading(const wire::Rsp& answer) {
    const unsigned int requestId = answer.requestid();
    ServeEntry(readerListeners_, requestId,
               [&](const PendingListener<IGetSavegameReaderListener>& pending) {
                   IGetSavegameReaderListener* listener = pending.listener;
                   if (listener == nullptr) return;
                   const wire::StartReadSavegameRsp& open = answer.startreadsavegame();
                   const unsigned int result = OpenForReadingResult(open.status());
                   SavegameReader* reader = nullptr;
                   if (result == kSavegameOk) {
                       reader = new SavegameReader(
                           new SavegameReaderRecord{open.productid(), open.slotid(), this});
                   } else if (result == kSavegameFailed) {
                       KX_LOG(common::kLogDebug) << "Unknown error caused open for read to fail.";
                   }
                   listener->OnGetSavegameReader(requestId, result, reader);
               });
}

void HalyxSessionData::OnOpenForWriting(const wire::Rsp& answer) {
    const unsigned int requestId = answer.requestid();
    ServeEntry(writerListeners_, requestId,
               [&](const PendingListener<IGetSavegameWriterListener>& pending) {
                   IGetSavegameWriterListener* listener = pending.listener;
                   if (listener == nullptr) return;
                   const wire::StartWriteSavegameRsp& open = answer.startwritesavegame();
                   const unsigned int result = OpenForWritingResult(open.status());
                   SavegameWriter* writer = nullptr;
                   if (result == kSavegameOk) {
                       SavegameWriterRecord* record = new SavegameWriterRecord();
                       record->productId = open.productid();
                       record->slotId = open.slotid();
                       record->session = this;
                       writer = new SavegameWriter(record);
                   } else if (result == kSavegameFailed) {
                       KX_LOG(common::kLogDebug) << "Unknown error caused open for write to fail.";
                   }
                   listener->OnGetSavegameWriter(requestId, result, writer);
               });
}

void HalyxSessionData::OnWriteDone(const wire::Rsp& answer) {
    const unsigned int requestId = answer.requestid();
    ServeEntry(writeListeners_, requestId,
               [&](const PendingListener<ISavegameWriteListener>& pending) {
                   ISavegameWriteListener* listener = pending.listener;
                   if (listener != nullptr) {
                       listener->OnSavegameWrite(requestId, answer.writesavegame().byteswritten());
                   }
               });
}

void HalyxSessionData::OnSavegameList(const wire::Rsp& answer) {
    const unsigned int requestId = answer.requestid();
    ServeEntry(listListeners_, requestId, [&](const PendingSavegameList& pending) {
        const auto& infos = answer.listsavegames().savegameinfos();
        const unsigned int count = static_cast<unsigned int>(infos.size());
        SavegameInfo* savegames = new SavegameInfo[count];
        for (unsigned int i = 0; i < count; ++i) {
            const wire::SavegameInfo& info = infos.Get(static_cast<int>(i));
            SavegameInfoRecord& record = *savegames[i].record_;
            record.name = Decode(info.name());
            record.productId = pending.productId;
            record.savegameId = info.slotid();
            record.size = info.size();
        }
        if (pending.listener != nullptr) {
            pending.listener->OnGetSavegameList(requestId, savegames, count);
        }
        delete[] savegames;
    });
}

void HalyxSessionData::OnReadPart(const wire::Rsp& answer) {
    const unsigned int requestId = answer.requestid();
    PendingListener<ISavegameReadListener> pending;
    if (!readListeners_.Get(requestId, pending)) return;
    ReadDestination target;
    readDestinations_.Get(requestId, target);

    // Copy only what lies within the game's buffer; the comparison cannot overflow.
    const wire::ReadSavegameRsp& part = answer.readsavegame();
    const std::string& data = part.data();
    const unsigned int offset = part.requestoffset();
    std::size_t copied = 0;
    if (offset < target.byteCount) {
        const std::size_t room = target.byteCount - offset;
        copied = data.size() < room ? data.size() : room;
        memcpy(target.destination + offset, data.data(), copied);
    }
    if (copied < data.size()) {
        KX_LOG(common::kLogError) << "Read part of request " << requestId << " reaches beyond "
                                  << "the game's buffer; "
                                  << static_cast<unsigned int>(data.size() - copied)
                                  << " bytes dropped.";
    }
    if (!part.islastpart()) return;
    // Taken out before the listener runs, as in ServeEntry.
    readListeners_.Remove(requestId);
    readDestinations_.Remove(requestId);
    if (pending.listener != nullptr) {
        pending.listener->OnSavegameRead(requestId, static_cast<unsigned int>(copied));
    }
    ForgetServed(readListeners_, requestId);
    readDestinations_.Remove(requestId);
}

void HalyxSessionData::OnRemoveDone(const wire::Rsp& answer) {
    const unsigned int requestId = answer.requestid();
    ServeEntry(removeListeners_, requestId,
               [&](const PendingListener<IRemoveSavegameListener>& pending) {
                   IRemoveSavegameListener* listener = pending.listener;
                   if (listener != nullptr) {
                       listener->OnRemoveSavegame(requestId,
                                                  RemoveResult(answer.removesavegame().status()));
                   }
               });
}

void HalyxSessionData::OnStopWriteDone(const wire::Rsp&) {
    // More answers than stop-writes sent must not wrap the count: that would hold back every
    // later list request.
    if (pendingStopWrites_.Load() == 0) {
        KX_LOG(common::kLogError) << "Stop-write answer without a stop-write outstanding; "
                                  << "ignored.";
        return;
    }
    if (pendingStopWrites_.Decrement() == 0) ReleaseHeldBackLists();
}

}  // namespace halyxdll
}  // namespace kx
