// The exports of the C interface (velhalyxapi_r2_c.h): each request wraps its callback in a
// pooled adapter and hands that to the session state as the listener and its release hook.
#include <new>

#include "kx/common/Contract.h"
#include "kx/halyxdll/CallGuard.h"
#include "kx/halyxdll/CallbackAdapter.h"
#include "kx/halyxdll/SavegameRecords.h"
#include "kx/halyxdll/halyxdll_internal.h"
#include "velhalyxapi_r2/HalyxSession.h"
#include "velhalyxapi_r2/SavegameHandles.h"
#include "velhalyxapi_r2_c.h"

// What a C session handle is: a facade of the one session state.
struct KxHalyxdllCSession {
    kx::halyxdll::HalyxSession facade;
};

namespace {

using kx::halyxdll::CallbackAdapter;
using kx::halyxdll::GuardCall;
using kx::halyxdll::HalyxSessionData;
using kx::halyxdll::SavegameInfo;
using kx::halyxdll::SavegameReader;
using kx::halyxdll::SavegameWriter;

// Where the adapters of later requests report dropped requests; touched on the game's thread
// only.
KxHalyxdllCDroppedCallback g_dropped = nullptr;

// The session state a handle stands for; using a handle after the state ended is a
// programming error of the game.
HalyxSessionData& SessionOf(KxHalyxdllCSession* session) {
    KX_CHECK(session != nullptr);
    HalyxSessionData* data = HalyxSessionData::Current();
    KX_CHECK(data != nullptr);
    return *data;
}

// Issues one request: `request` receives the adapter (null without a callback) to pass as
// the listener and as its release hook. A request abandoned for want of memory has kept
// nothing, so its adapter is dropped at once.
template <typename Request>
void Ask(const CallbackAdapter::Callback& callback, bool hasCallback, void* context,
         uint32_t requestId, Request request) {
    GuardCall([&] {
        CallbackAdapter* adapter =
            hasCallback ? CallbackAdapter::Take(callback, context, requestId, g_dropped) : nullptr;
        try {
            request(adapter);
        } catch (const std::bad_alloc&) {
            if (adapter != nullptr) adapter->OnListenerDropped();
            throw;
        }
    });
}

template <typename Function>
CallbackAdapter::Callback Wrap(Function function, Function CallbackAdapter::Callback::*member) {
    CallbackAdapter::Callback callback;
    callback.*member = function;
    return callback;
}

SavegameReader* ReaderOf(KxHalyxdllCSavegameReader* reader) {
    KX_CHECK(reader != nullptr);
    return reinterpret_cast<SavegameReader*>(reader);
}

SavegameWriter* WriterOf(KxHalyxdllCSavegameWriter* writer) {
    KX_CHECK(writer != nullptr);
    return reinterpret_cast<SavegameWriter*>(writer);
}

SavegameInfo* InfoOf(KxHalyxdllCSavegameInfo* info) {
    KX_CHECK(info != nullptr);
    return reinterpret_cast<SavegameInfo*>(info);
}

}  // namespace

KxHalyxdllCSession* KxHalyxdllCCreateSession() {
    return GuardCall(static_cast<KxHalyxdllCSession*>(nullptr),
                     [] { return new KxHalyxdllCSession(); });
}

void KxHalyxdllCDestroySession(KxHalyxdllCSession* session) {
    KX_CHECK(session != nullptr);
    delete session;
    g_dropped = nullptr;
}

void KxHalyxdllCSetDroppedCallback(KxHalyxdllCSession* session,
                                   KxHalyxdllCDroppedCallback dropped) {
    KX_CHECK(session != nullptr);
    g_dropped = dropped;
}

void KxHalyxdllCUpdate(KxHalyxdllCSession* session) {
    KX_CHECK(session != nullptr);
    session->facade.Update();
}

uint32_t KxHalyxdllCGetRequestUniqueId(KxHalyxdllCSession* session) {
    KX_CHECK(session != nullptr);
    return session->facade.GetRequestUniqueId();
}

const uint16_t* KxHalyxdllCGetLocText(KxHalyxdllCSession* session, const uint16_t* key,
                                      const char* languageCode) {
    KX_CHECK(session != nullptr);
    return session->facade.GetLocText(key, languageCode);
}

void KxHalyxdllCGetLoginDetails(KxHalyxdllCSession* session, uint32_t requestId,
                                KxHalyxdllCLoginDetailsCallback callback, void* context) {
    HalyxSessionData& data = SessionOf(session);
    Ask(Wrap(callback, &CallbackAdapter::Callback::loginDetails), callback != nullptr, context,
        requestId,
        [&](CallbackAdapter* adapter) { data.GetLoginDetails(requestId, adapter, adapter); });
}

void KxHalyxdllCGetHalyxServer(KxHalyxdllCSession* session, uint32_t requestId,
                               KxHalyxdllCHalyxServerCallback callback, void* context,
                               uint32_t productId, uint32_t subProductId) {
    HalyxSessionData& data = SessionOf(session);
    Ask(Wrap(callback, &CallbackAdapter::Callback::server), callback != nullptr, context, requestId,
        [&](CallbackAdapter* adapter) {
            data.GetHalyxServer(requestId, adapter, productId, subProductId, adapter);
        });
}

void KxHalyxdllCGetSavegameReader(KxHalyxdllCSession* session, uint32_t requestId,
                                  KxHalyxdllCSavegameReaderCallback callback, void* context,
                                  uint32_t productId, uint32_t slotId) {
    HalyxSessionData& data = SessionOf(session);
    Ask(Wrap(callback, &CallbackAdapter::Callback::reader), callback != nullptr, context, requestId,
        [&](CallbackAdapter* adapter) {
            data.GetSavegameReader(requestId, adapter, productId, slotId, adapter);
        });
}

void KxHalyxdllCGetSavegameWriter(KxHalyxdllCSession* session, uint32_t requestId,
                                  KxHalyxdllCSavegameWriterCallback callback, void* context,
                                  uint32_t productId, uint32_t slotId, int overwriteExisting) {
    HalyxSessionData& data = SessionOf(session);
    Ask(Wrap(callback, &CallbackAdapter::Callback::writer), callback != nullptr, context, requestId,
        [&](CallbackAdapter* adapter) {
            data.GetSavegameWriter(requestId, adapter, productId, slotId, overwriteExisting != 0,
                                   adapter);
        });
}

void KxHalyxdllCGetSavegameList(KxHalyxdllCSession* session, uint32_t requestId,
                                KxHalyxdllCSavegameListCallback callback, void* context,
                                uint32_t productId) {
    HalyxSessionData& data = SessionOf(session);
    Ask(Wrap(callback, &CallbackAdapter::Callback::list), callback != nullptr, context, requestId,
        [&](CallbackAdapter* adapter) {
            data.GetSavegameList(requestId, adapter, productId, adapter);
        });
}

void KxHalyxdllCRemoveSavegame(KxHalyxdllCSession* session, uint32_t requestId,
                               KxHalyxdllCRemoveSavegameCallback callback, void* context,
                               uint32_t productId, uint32_t slotId) {
    HalyxSessionData& data = SessionOf(session);
    Ask(Wrap(callback, &CallbackAdapter::Callback::remove), callback != nullptr, context, requestId,
        [&](CallbackAdapter* adapter) {
            data.RemoveSavegame(requestId, adapter, productId, slotId, adapter);
        });
}

void KxHalyxdllCSavegameReaderRead(KxHalyxdllCSavegameReader* reader, uint32_t requestId,
                                   KxHalyxdllCSavegameReadCallback callback, void* context,
                                   uint32_t offset, void* destination, uint32_t byteCount) {
    const kx::halyxdll::SavegameReaderRecord& record = HalyxSessionData::RecordOf(ReaderOf(reader));
    Ask(Wrap(callback, &CallbackAdapter::Callback::read), callback != nullptr, context, requestId,
        [&](CallbackAdapter* adapter) {
            record.session->Read(requestId, adapter, record.productId, record.slotId, offset,
                                 destination, byteCount, adapter);
        });
}

void KxHalyxdllCSavegameWriterWrite(KxHalyxdllCSavegameWriter* writer, uint32_t requestId,
                                    KxHalyxdllCSavegameWriteCallback callback, void* context,
                                    const void* data, uint32_t byteCount) {
    const kx::halyxdll::SavegameWriterRecord& record = HalyxSessionData::RecordOf(WriterOf(writer));
    Ask(Wrap(callback, &CallbackAdapter::Callback::write), callback != nullptr, context, requestId,
        [&](CallbackAdapter* adapter) {
            record.session->Write(requestId, adapter, record.productId, record.slotId, data,
                                  byteCount, adapter);
        });
}

void KxHalyxdllCSavegameReaderClose(KxHalyxdllCSavegameReader* reader) {
    ReaderOf(reader)->Close();
}

int KxHalyxdllCSavegameWriterSetName(KxHalyxdllCSavegameWriter* writer, const uint16_t* name) {
    return WriterOf(writer)->SetName(name) ? 1 : 0;
}

void KxHalyxdllCSavegameWriterClose(KxHalyxdllCSavegameWriter* writer, int persist) {
    WriterOf(writer)->Close(persist != 0);
}

KxHalyxdllCSavegameInfo* KxHalyxdllCSavegameListAt(KxHalyxdllCSavegameList* savegames,
                                                   uint32_t index) {
    KX_CHECK(savegames != nullptr);
    return reinterpret_cast<KxHalyxdllCSavegameInfo*>(reinterpret_cast<SavegameInfo*>(savegames) +
                                                      index);
}

const uint16_t* KxHalyxdllCSavegameInfoGetName(KxHalyxdllCSavegameInfo* info) {
    return InfoOf(info)->GetName();
}

uint32_t KxHalyxdllCSavegameInfoGetProductId(KxHalyxdllCSavegameInfo* info) {
    return InfoOf(info)->GetProductId();
}

uint32_t KxHalyxdllCSavegameInfoGetSavegameId(KxHalyxdllCSavegameInfo* info) {
    return InfoOf(info)->GetSavegameId();
}

uint32_t KxHalyxdllCSavegameInfoGetSize(KxHalyxdllCSavegameInfo* info) {
    return InfoOf(info)->GetSize();
}
