// The request operations of the session state: each checks what can be refused at once,
// builds its request, records its listener and sends.
#include <new>

#include "HalyxDll.pb.h"
#include "kx/clientbox/PipeHandle.h"
#include "kx/common/Contract.h"
#include "kx/halyxdll/halyxdll_internal.h"
#include "kx/logger/LogRecord.h"
#include "velhalyxapi_r2/SavegameHandles.h"

namespace kx {
namespace halyxdll {

namespace wire = protocol::halyxdll;

namespace {

// The id of the requests the library makes on its own; never looked up in a table.
constexpr unsigned int kLibraryRequestId = 1;

}  // namespace

void HalyxSessionData::GetLoginDetails(unsigned int requestId, IGetLoginDetailsListener* listener,
                                       IListenerRelease* release) {
    wire::Req request;
    request.set_requestid(requestId);
    request.mutable_getlogindetails();
    Send(request);
    // Recorded even when null, unlike the other requests; the answer handler skips a null one.
    Record(loginDetailsListeners_, requestId,
           PendingListener<IGetLoginDetailsListener>{listener, release});
}

void HalyxSessionData::GetHalyxServer(unsigned int requestId, IGetHalyxServerListener* listener,
                                      unsigned int productId, unsigned int subProductId,
                                      IListenerRelease* release) {
    if (!EnsureConnected()) {
        if (listener != nullptr)
            listener->OnGetHalyxServer(requestId, clientbox::InvalidPipeHandle());
        return;
    }
    wire::Req request;
    request.set_requestid(requestId);
    wire::GetOsiReq* server = request.mutable_getosi();
    server->set_productid(productId);
    server->set_subproductid(subProductId);
    Send(request);
    if (listener != nullptr)
        Record(serverListeners_, requestId,
               PendingListener<IGetHalyxServerListener>{listener, release});
}

void HalyxSessionData::GetSavegameReader(unsigned int requestId,
                                         IGetSavegameReaderListener* listener,
                                         unsigned int productId, unsigned int slotId,
                                         IListenerRelease* release) {
    if (slotId == 0) {
        if (listener != nullptr) listener->OnGetSavegameReader(requestId, kSavegameFailed, nullptr);
        return;
    }
    wire::Req request;
    request.set_requestid(requestId);
    wire::StartReadSavegameReq* open = request.mutable_startreadsavegame();
    open->set_productid(productId);
    open->set_slotid(slotId);
    Send(request);
    if (listener != nullptr)
        Record(readerListeners_, requestId,
               PendingListener<IGetSavegameReaderListener>{listener, release});
}

void HalyxSessionData::GetSavegameWriter(unsigned int requestId,
                                         IGetSavegameWriterListener* listener,
                                         unsigned int productId, unsigned int slotId,
                                         bool overwriteExisting, IListenerRelease* release) {
    if (slotId == 0) {
        if (listener != nullptr) listener->OnGetSavegameWriter(requestId, kSavegameFailed, nullptr);
        return;
    }
    wire::Req request;
    request.set_requestid(requestId);
    wire::StartWriteSavegameReq* open = request.mutable_startwritesavegame();
    open->set_productid(productId);
    open->set_slotid(slotId);
    open->set_overwriteexisting(overwriteExisting);
    Send(request);
    if (listener != nullptr)
        Record(writerListeners_, requestId,
               PendingListener<IGetSavegameWriterListener>{listener, release});
}

void HalyxSessionData::GetSavegameList(unsigned int requestId, IGetSavegameListListener* listener,
                                       unsigned int productId, IListenerRelease* release) {
    // A list asked for while closed writers are still being stored would miss them.
    if (pendingStopWrites_.Load() != 0) {
        DelayedGetSavegameList delayed;
        delayed.requestId = requestId;
        delayed.listener = listener;
        delayed.productId = productId;
        delayed.release = release;
        delayedLists_.Add(delayed);
        return;
    }
    wire::Req request;
    request.set_requestid(requestId);
    request.mutable_listsavegames()->set_productid(productId);
    Send(request);
    if (listener != nullptr)
        Record(listListeners_, requestId, PendingSavegameList{listener, productId, release});
}

void HalyxSessionData::RemoveSavegame(unsigned int requestId, IRemoveSavegameListener* listener,
                                      unsigned int productId, unsigned int slotId,
                                      IListenerRelease* release) {
    if (slotId == 0) {
        if (listener != nullptr) listener->OnRemoveSavegame(requestId, kSavegameFailed);
        return;
    }
    wire::Req request;
    request.set_requestid(requestId);
    wire::RemoveSavegameReq* remove = request.mutable_removesavegame();
    remove->set_productid(productId);
    remove->set_slotid(slotId);
    Send(request);
    if (listener != nullptr)
        Record(removeListeners_, requestId,
               PendingListener<IRemoveSavegameListener>{listener, release});
}

void HalyxSessionData::Read(unsigned int requestId, ISavegameReadListener* listener,
                            unsigned int productId, unsigned int slotId, unsigned int offset,
                            void* destination, unsigned int byteCount, IListenerRelease* release) {
    KX_CHECK(destination != nullptr || byteCount == 0);
    wire::Req request;
    request.set_requestid(requestId);
    wire::ReadSavegameReq* read = request.mutable_readsavegame();
    read->set_productid(productId);
    read->set_slotid(slotId);
    read->set_offset(offset);
    read->set_numbytes(byteCount);
    Send(request);
    if (listener != nullptr) {
        readDestinations_.Set(requestId,
                              ReadDestination{static_cast<unsigned char*>(destination), byteCount});
        Record(readListeners_, requestId,
               PendingListener<ISavegameReadListener>{listener, release});
    }
}

void HalyxSessionData::Write(unsigned int requestId, ISavegameWriteListener* listener,
                             unsigned int productId, unsigned int slotId, const void* data,
                             unsigned int byteCount, IListenerRelease* release) {
    KX_CHECK(data != nullptr || byteCount == 0);
    wire::Req& request = *writeRequest_;
    request.Clear();
    request.set_requestid(requestId);
    wire::WriteSavegameReq* write = request.mutable_writesavegame();
    write->set_productid(productId);
    write->set_slotid(slotId);
    // A frame over the launcher's limit would make it drop the connection, and every pending
    // request with it: such a write is refused here instead.
    bool copied = byteCount <= SavegameWriter::kMaxWriteByteCount;
    if (copied) {
        // Copied now: the game may reuse its buffer as soon as this returns. assign() rather
        // than a setter, here and for the name below: the setters build a std::string in this
        // unit, whose constructor template would be emitted with default visibility and
        // exported.
        try {
            write->mutable_data()->assign(byteCount > 0 ? static_cast<const char*>(data) : "",
                                          byteCount);
        } catch (const std::bad_alloc&) {
            copied = false;
        }
    }
    if (!copied) {
        KX_LOG(common::kLogError) << "Write " << requestId << " of " << byteCount
                                  << " bytes refused: it does not fit one message.";
        if (listener != nullptr) listener->OnSavegameWrite(requestId, 0);
        return;
    }
    Send(request);
    // An unusually large write is not kept for the rest of the session.
    if (write->data().capacity() > kKeptDataCapacity) {
        write->mutable_data()->clear();
        write->mutable_data()->shrink_to_fit();
    }
    if (listener != nullptr)
        Record(writeListeners_, requestId,
               PendingListener<ISavegameWriteListener>{listener, release});
}

void HalyxSessionData::StopRead(unsigned int productId, unsigned int slotId) {
    wire::Req request;
    request.set_requestid(kLibraryRequestId);
    wire::StopReadSavegameReq* stop = request.mutable_stopreadsavegame();
    stop->set_productid(productId);
    stop->set_slotid(slotId);
    Send(request);
}

void HalyxSessionData::StopWrite(unsigned int productId, unsigned int slotId, const char* nameUtf8,
                                 bool persist) {
    wire::Req request;
    request.set_requestid(kLibraryRequestId);
    wire::StopWriteSavegameReq* stop = request.mutable_stopwritesavegame();
    stop->set_productid(productId);
    stop->set_slotid(slotId);
    stop->mutable_name()->assign(nameUtf8);
    stop->set_persist(persist);
    // Only a stop-write that goes out on an open connection is answered, and only an answered
    // one may hold back list requests.
    if (!connection_.IsNull() && !connection_->IsClosed()) pendingStopWrites_.Increment();
    Send(request);
}

}  // namespace halyxdll
}  // namespace kx
