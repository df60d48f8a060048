#include "kx/devlauncher/ClientSession.h"

#include "kx/devlauncher/ReadParts.h"
#include "kx/devlauncher/SavegameName.h"

namespace kx {
namespace devlauncher {

namespace pb = protocol::halyxdll;

ClientSession::ClientSession(ClientId client, const SessionServices& services)
    : client_(client), services_(services) {}

ClientSession::~ClientSession() {
    if (!writers_.empty()) {
        services_.log.Detail(Who() + "disconnected with " + std::to_string(writers_.size()) +
                             " unfinished write(s); discarded");
    }
    writers_.clear();
    services_.locks.ReleaseAll(client_);
}

std::string ClientSession::Who() const {
    return "[client " + std::to_string(client_) + "] ";
}

bool ClientSession::Handle(const pb::Req& req, AnswerSink& sink) {
    const std::uint32_t id = req.requestid();
    if (req.has_getlogindetails()) {
        return LoginDetails(id, sink);
    }
    if (req.has_getosi()) {
        return ServerPipe(id, req.getosi(), sink);
    }
    if (req.has_listsavegames()) {
        return List(id, req.listsavegames(), sink);
    }
    if (req.has_startreadsavegame()) {
        return StartRead(id, req.startreadsavegame(), sink);
    }
    if (req.has_stopreadsavegame()) {
        StopRead(req.stopreadsavegame());
        return true;
    }
    if (req.has_readsavegame()) {
        return Read(id, req.readsavegame(), sink);
    }
    if (req.has_startwritesavegame()) {
        return StartWrite(id, req.startwritesavegame(), sink);
    }
    if (req.has_stopwritesavegame()) {
        return StopWrite(id, req.stopwritesavegame(), sink);
    }
    if (req.has_writesavegame()) {
        return Write(id, req.writesavegame(), sink);
    }
    if (req.has_removesavegame()) {
        return Remove(id, req.removesavegame(), sink);
    }
    services_.log.Line(Who() + "request #" + std::to_string(id) + " has no slot; not answered");
    return true;
}

bool ClientSession::LoginDetails(std::uint32_t requestId, AnswerSink& sink) {
    pb::Rsp rsp;
    rsp.set_requestid(requestId);
    pb::GetLoginDetailsRsp* details = rsp.mutable_getlogindetails();
    details->set_username(services_.config.username);
    details->set_password(services_.config.password);
    details->set_cdkey(services_.config.cdkey);
    return sink.Send(rsp);
}

bool ClientSession::ServerPipe(std::uint32_t requestId, const pb::GetOsiReq& req,
                               AnswerSink& sink) {
    pb::Rsp rsp;
    rsp.set_requestid(requestId);
    pb::GetOsiRsp* answer = rsp.mutable_getosi();
    const auto found = services_.serverPipes.find(req.productid());
    if (found == services_.serverPipes.end()) {
        answer->set_status(pb::GetOsiRsp::Failed);
    } else {
        answer->set_status(pb::GetOsiRsp::Ok);
        answer->set_pipename(found->second);
    }
    return sink.Send(rsp);
}

bool ClientSession::List(std::uint32_t requestId, const pb::ListSavegamesReq& req,
                         AnswerSink& sink) {
    pb::Rsp rsp;
    rsp.set_requestid(requestId);
    pb::ListSavegamesRsp* list = rsp.mutable_listsavegames();
    for (const SavegameEntry& entry : services_.store.List(req.productid())) {
        pb::SavegameInfo* info = list->add_savegameinfos();
        info->set_name(entry.name);
        info->set_slotid(entry.slotId);
        info->set_size(entry.size);
    }
    return sink.Send(rsp);
}

bool ClientSession::StartRead(std::uint32_t requestId, const pb::StartReadSavegameReq& req,
                              AnswerSink& sink) {
    const SlotKey slot{req.productid(), req.slotid()};
    pb::Rsp rsp;
    rsp.set_requestid(requestId);
    pb::StartReadSavegameRsp* answer = rsp.mutable_startreadsavegame();
    answer->set_productid(slot.productId);
    answer->set_slotid(slot.slotId);
    if (slot.slotId == 0) {
        answer->set_status(pb::StartReadSavegameRsp::Failed);
    } else if (!services_.locks.TryLockRead(client_, slot)) {
        answer->set_status(pb::StartReadSavegameRsp::SlotLocked);
    } else if (!services_.store.Open(slot.productId, slot.slotId)) {
        services_.locks.UnlockRead(client_, slot);
        answer->set_status(pb::StartReadSavegameRsp::NotFound);
    } else {
        answer->set_status(pb::StartReadSavegameRsp::Ok);
    }
    return sink.Send(rsp);
}

void ClientSession::StopRead(const pb::StopReadSavegameReq& req) {
    if (!services_.locks.UnlockRead(client_, SlotKey{req.productid(), req.slotid()})) {
        services_.log.Detail(Who() + "stop-read of a slot it was not reading");
    }
}

bool ClientSession::Read(std::uint32_t requestId, const pb::ReadSavegameReq& req,
                         AnswerSink& sink) {
    const SlotKey slot{req.productid(), req.slotid()};
    std::unique_ptr<StoredSavegame> savegame;
    if (services_.locks.HoldsRead(client_, slot)) {
        savegame = services_.store.Open(slot.productId, slot.slotId);
    } else {
        services_.log.Detail(Who() + "read without an open reader; answered with no data");
    }
    const std::uint32_t size = savegame ? savegame->Size() : 0;
    pb::Rsp rsp;
    rsp.set_requestid(requestId);
    pb::ReadSavegameRsp* answer = rsp.mutable_readsavegame();
    for (const ReadPart& part : SplitRead(size, req.offset(), req.numbytes(), services_.partSize)) {
        std::string* data = answer->mutable_data();
        data->resize(part.size);
        answer->set_requestoffset(part.requestOffset);
        answer->set_islastpart(part.last);
        if (part.size > 0 && !savegame->ReadAt(part.savegameOffset, part.size, &(*data)[0])) {
            // End the read where the file failed rather than leave the game waiting.
            services_.log.Line(Who() + "cannot read savegame " +
                               services_.store.SlotPath(slot.productId, slot.slotId).u8string());
            data->clear();
            answer->set_islastpart(true);
            return sink.Send(rsp);
        }
        if (!sink.Send(rsp)) {
            return false;
        }
    }
    return true;
}

bool ClientSession::StartWrite(std::uint32_t requestId, const pb::StartWriteSavegameReq& req,
                               AnswerSink& sink) {
    const SlotKey slot{req.productid(), req.slotid()};
    pb::Rsp rsp;
    rsp.set_requestid(requestId);
    pb::StartWriteSavegameRsp* answer = rsp.mutable_startwritesavegame();
    answer->set_productid(slot.productId);
    answer->set_slotid(slot.slotId);
    if (slot.slotId == 0) {
        answer->set_status(pb::StartWriteSavegameRsp::Failed);
    } else if (writers_.size() >= services_.maxWriters) {
        services_.log.Line(Who() + "refused a start-write: it already has " +
                           std::to_string(writers_.size()) +
                           " open writers, the most a client may have (--max-writers)");
        answer->set_status(pb::StartWriteSavegameRsp::Failed);
    } else if (!services_.locks.TryLockWrite(client_, slot)) {
        answer->set_status(pb::StartWriteSavegameRsp::SlotLocked);
    } else if (!req.overwriteexisting() && services_.store.Open(slot.productId, slot.slotId)) {
        services_.locks.UnlockWrite(client_, slot);
        answer->set_status(pb::StartWriteSavegameRsp::OverWriteNotAllowed);
    } else if (auto pending = services_.store.BeginWrite(slot.productId, slot.slotId)) {
        writers_[slot] = std::move(pending);
        answer->set_status(pb::StartWriteSavegameRsp::Ok);
    } else {
        services_.locks.UnlockWrite(client_, slot);
        services_.log.Line(Who() + "cannot create a temporary file beside " +
                           services_.store.SlotPath(slot.productId, slot.slotId).u8string());
        answer->set_status(pb::StartWriteSavegameRsp::Failed);
    }
    return sink.Send(rsp);
}

bool ClientSession::Write(std::uint32_t requestId, const pb::WriteSavegameReq& req,
                          AnswerSink& sink) {
    pb::Rsp rsp;
    rsp.set_requestid(requestId);
    pb::WriteSavegameRsp* answer = rsp.mutable_writesavegame();
    const auto found = writers_.find(SlotKey{req.productid(), req.slotid()});
    const std::uint32_t written = found == writers_.end() ? 0 : found->second->Append(req.data());
    answer->set_byteswritten(written);
    answer->set_status(found != writers_.end() && written == req.data().size()
                           ? pb::WriteSavegameRsp::Ok
                           : pb::WriteSavegameRsp::WriteFailed);
    return sink.Send(rsp);
}

bool ClientSession::StopWrite(std::uint32_t requestId, const pb::StopWriteSavegameReq& req,
                              AnswerSink& sink) {
    const SlotKey slot{req.productid(), req.slotid()};
    const auto found = writers_.find(slot);
    if (found == writers_.end()) {
        services_.log.Detail(Who() + "stop-write of a slot it was not writing");
    } else {
        if (req.persist() && !IsStorableSavegameName(req.name())) {
            services_.log.Line(Who() + "refused to store savegame " +
                               services_.store.SlotPath(slot.productId, slot.slotId).u8string() +
                               ": its name is not UTF-8 or longer than " +
                               std::to_string(kMaxSavegameNameUnits) +
                               " UTF-16 units; the previous one is unchanged");
        } else if (req.persist() && !found->second->Commit(req.name())) {
            services_.log.Line(Who() + "could not store savegame " +
                               services_.store.SlotPath(slot.productId, slot.slotId).u8string() +
                               "; the previous one is unchanged");
        }
        writers_.erase(found);  // discards what was not committed
        services_.locks.UnlockWrite(client_, slot);
    }
    pb::Rsp rsp;
    rsp.set_requestid(requestId);
    rsp.mutable_stopwritesavegame();
    return sink.Send(rsp);
}

bool ClientSession::Remove(std::uint32_t requestId, const pb::RemoveSavegameReq& req,
                           AnswerSink& sink) {
    const SlotKey slot{req.productid(), req.slotid()};
    pb::Rsp rsp;
    rsp.set_requestid(requestId);
    pb::RemoveSavegameRsp* answer = rsp.mutable_removesavegame();
    if (slot.slotId == 0) {
        answer->set_status(pb::RemoveSavegameRsp::Failed);
    } else if (!services_.locks.TryLockWrite(client_, slot)) {
        answer->set_status(pb::RemoveSavegameRsp::Locked);
    } else {
        switch (services_.store.Remove(slot.productId, slot.slotId)) {
            case SavegameStore::RemoveResult::kRemoved:
                answer->set_status(pb::RemoveSavegameRsp::Ok);
                break;
            case SavegameStore::RemoveResult::kNotFound:
                answer->set_status(pb::RemoveSavegameRsp::NotFound);
                break;
            case SavegameStore::RemoveResult::kFailed:
                answer->set_status(pb::RemoveSavegameRsp::Failed);
                break;
        }
        services_.locks.UnlockWrite(client_, slot);
    }
    return sink.Send(rsp);
}

}  // namespace devlauncher
}  // namespace kx
