#pragma once

#include <string>
#include <vector>

#include "FakeLauncher.h"

// Answers as the launcher sends them, one builder per answer kind.
namespace kx {
namespace testing {

inline wire::Rsp LoginAnswer(unsigned int id, const std::string& user, const std::string& password,
                             const std::string& cdKey) {
    wire::Rsp answer;
    answer.set_requestid(id);
    wire::GetLoginDetailsRsp* details = answer.mutable_getlogindetails();
    details->set_username(user);
    details->set_password(password);
    details->set_cdkey(cdKey);
    return answer;
}

inline wire::Rsp ServerAnswer(unsigned int id, wire::GetOsiRsp::Status status,
                              const std::string* pipeName) {
    wire::Rsp answer;
    answer.set_requestid(id);
    answer.mutable_getosi()->set_status(status);
    if (pipeName != nullptr) answer.mutable_getosi()->set_pipename(*pipeName);
    return answer;
}

inline wire::Rsp OpenReadAnswer(unsigned int id, unsigned int product, unsigned int slot,
                                wire::StartReadSavegameRsp::Status status) {
    wire::Rsp answer;
    answer.set_requestid(id);
    wire::StartReadSavegameRsp* open = answer.mutable_startreadsavegame();
    open->set_productid(product);
    open->set_slotid(slot);
    open->set_status(status);
    return answer;
}

inline wire::Rsp OpenWriteAnswer(unsigned int id, unsigned int product, unsigned int slot,
                                 wire::StartWriteSavegameRsp::Status status) {
    wire::Rsp answer;
    answer.set_requestid(id);
    wire::StartWriteSavegameRsp* open = answer.mutable_startwritesavegame();
    open->set_productid(product);
    open->set_slotid(slot);
    open->set_status(status);
    return answer;
}

inline wire::Rsp WriteAnswer(unsigned int id, wire::WriteSavegameRsp::Status status,
                             unsigned int bytesWritten) {
    wire::Rsp answer;
    answer.set_requestid(id);
    answer.mutable_writesavegame()->set_status(status);
    answer.mutable_writesavegame()->set_byteswritten(bytesWritten);
    return answer;
}

struct ListEntry {
    std::string name;
    unsigned int slot;
    unsigned int size;
};

inline wire::Rsp ListAnswer(unsigned int id, const std::vector<ListEntry>& entries) {
    wire::Rsp answer;
    answer.set_requestid(id);
    wire::ListSavegamesRsp* list = answer.mutable_listsavegames();
    for (const ListEntry& entry : entries) {
        wire::SavegameInfo* info = list->add_savegameinfos();
        info->set_name(entry.name);
        info->set_slotid(entry.slot);
        info->set_size(entry.size);
    }
    return answer;
}

inline wire::Rsp ReadPartAnswer(unsigned int id, const std::string& data, unsigned int offset,
                                bool last) {
    wire::Rsp answer;
    answer.set_requestid(id);
    wire::ReadSavegameRsp* part = answer.mutable_readsavegame();
    part->set_data(data);
    part->set_requestoffset(offset);
    part->set_islastpart(last);
    return answer;
}

inline wire::Rsp RemoveAnswer(unsigned int id, wire::RemoveSavegameRsp::Status status) {
    wire::Rsp answer;
    answer.set_requestid(id);
    answer.mutable_removesavegame()->set_status(status);
    return answer;
}

inline wire::Rsp StopWriteAnswer(unsigned int id) {
    wire::Rsp answer;
    answer.set_requestid(id);
    answer.mutable_stopwritesavegame();
    return answer;
}

}  // namespace testing
}  // namespace kx
