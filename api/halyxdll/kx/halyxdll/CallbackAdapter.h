#pragma once

#include "kx/common/Atomic.h"
#include "kx/common/Pooled.h"
#include "kx/halyxdll/halyxdll_internal.h"
#include "velhalyxapi_r2/Listeners.h"
#include "velhalyxapi_r2_c.h"

namespace kx {
namespace halyxdll {

// The listener object behind one request of the C interface: it holds the game's callback and
// context, and the session holds it like any listener. It implements every listener interface
// so that one pool serves every kind of request; only the operation of its own kind is called.
//
// Taken from a pool (Take) for one request and back in the pool as soon as the request ends:
// after its callback has run, or when the session drops the request (replaced, connection
// lost, session state ended), after the game's dropped callback has been told. No adapter
// outlives its registration. Used on the game's thread only.
class CallbackAdapter final : public common::Pooled<CallbackAdapter>,
                              public IGetLoginDetailsListener,
                              public IGetHalyxServerListener,
                              public IGetSavegameReaderListener,
                              public IGetSavegameWriterListener,
                              public IGetSavegameListListener,
                              public IRemoveSavegameListener,
                              public ISavegameReadListener,
                              public ISavegameWriteListener,
                              public IListenerRelease {
public:
    // The game's callback, of the kind of the request.
    union Callback {
        KxHalyxdllCLoginDetailsCallback loginDetails;
        KxHalyxdllCHalyxServerCallback server;
        KxHalyxdllCSavegameReaderCallback reader;
        KxHalyxdllCSavegameWriterCallback writer;
        KxHalyxdllCSavegameListCallback list;
        KxHalyxdllCRemoveSavegameCallback remove;
        KxHalyxdllCSavegameReadCallback read;
        KxHalyxdllCSavegameWriteCallback write;
    };

    // An adapter for request `requestId` whose result goes to `callback` with `context`, and
    // whose dropping goes to `dropped` (may be null). Throws std::bad_alloc when the pool must
    // grow and cannot.
    static CallbackAdapter* Take(const Callback& callback, void* context, unsigned int requestId,
                                 KxHalyxdllCDroppedCallback dropped);

    // How many adapters are out of the pool: held for pending requests, or running a callback.
    static int GetLiveCount();

    void OnGetLoginDetails(unsigned int requestId, const char* userName,
                           const unsigned short* password, const char* cdKey) override;
    void OnGetHalyxServer(unsigned int requestId, PipeHandle pipe) override;
    void OnGetSavegameReader(unsigned int requestId, unsigned int result,
                             SavegameReader* reader) override;
    void OnGetSavegameWriter(unsigned int requestId, unsigned int result,
                             SavegameWriter* writer) override;
    void OnGetSavegameList(unsigned int requestId, SavegameInfo* savegames,
                           unsigned int count) override;
    void OnRemoveSavegame(unsigned int requestId, unsigned int result) override;
    void OnSavegameRead(unsigned int requestId, unsigned int byteCount) override;
    void OnSavegameWrite(unsigned int requestId, unsigned int byteCount) override;

    // Tells the dropped callback and goes back to the pool.
    void OnListenerDropped() override;

private:
    CallbackAdapter(const Callback& callback, void* context, unsigned int requestId,
                    KxHalyxdllCDroppedCallback dropped);
    ~CallbackAdapter();
    CallbackAdapter(const CallbackAdapter&) = delete;
    CallbackAdapter& operator=(const CallbackAdapter&) = delete;

    static common::AtomicInt32 live_;

    Callback callback_;
    void* context_;
    unsigned int requestId_;
    KxHalyxdllCDroppedCallback dropped_;
};

}  // namespace halyxdll
}  // namespace kx
