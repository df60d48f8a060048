#pragma once

#include <cstdint>
#include <string>

#include "HalyxDll.pb.h"

namespace kx {
namespace testing {

namespace pb = protocol::halyxdll;

// Requests as a game sends them, one filled slot each.
inline pb::Req LoginRequest(std::uint32_t id) {
    pb::Req req;
    req.set_requestid(id);
    req.mutable_getlogindetails();
    return req;
}

inline pb::Req ServerPipeRequest(std::uint32_t id, std::uint32_t product) {
    pb::Req req;
    req.set_requestid(id);
    req.mutable_getosi()->set_productid(product);
    req.mutable_getosi()->set_subproductid(0);
    return req;
}

inline pb::Req ListRequest(std::uint32_t id, std::uint32_t product) {
    pb::Req req;
    req.set_requestid(id);
    req.mutable_listsavegames()->set_productid(product);
    return req;
}

inline pb::Req StartReadRequest(std::uint32_t id, std::uint32_t product, std::uint32_t slot) {
    pb::Req req;
    req.set_requestid(id);
    req.mutable_startreadsavegame()->set_productid(product);
    req.mutable_startreadsavegame()->set_slotid(slot);
    return req;
}

inline pb::Req StopReadRequest(std::uint32_t product, std::uint32_t slot) {
    pb::Req req;
    req.set_requestid(1);
    req.mutable_stopreadsavegame()->set_productid(product);
    req.mutable_stopreadsavegame()->set_slotid(slot);
    return req;
}

inline pb::Req ReadRequest(std::uint32_t id, std::uint32_t product, std::uint32_t slot,
                           std::uint32_t offset, std::uint32_t numBytes) {
    pb::Req req;
    req.set_requestid(id);
    pb::ReadSavegameReq* read = req.mutable_readsavegame();
    read->set_productid(product);
    read->set_slotid(slot);
    read->set_offset(offset);
    read->set_numbytes(numBytes);
    return req;
}

inline pb::Req StartWriteRequest(std::uint32_t id, std::uint32_t product, std::uint32_t slot,
                                 bool overWrite) {
    pb::Req req;
    req.set_requestid(id);
    pb::StartWriteSavegameReq* start = req.mutable_startwritesavegame();
    start->set_productid(product);
    start->set_slotid(slot);
    start->set_overwriteexisting(overWrite);
    return req;
}

inline pb::Req WriteRequest(std::uint32_t id, std::uint32_t product, std::uint32_t slot,
                            const std::string& data) {
    pb::Req req;
    req.set_requestid(id);
    pb::WriteSavegameReq* write = req.mutable_writesavegame();
    write->set_productid(product);
    write->set_slotid(slot);
    write->set_data(data);
    return req;
}

inline pb::Req StopWriteRequest(std::uint32_t product, std::uint32_t slot, const std::string& name,
                                bool persist) {
    pb::Req req;
    req.set_requestid(1);
    pb::StopWriteSavegameReq* stop = req.mutable_stopwritesavegame();
    stop->set_productid(product);
    stop->set_slotid(slot);
    stop->set_name(name);
    stop->set_persist(persist);
    return req;
}

inline pb::Req RemoveRequest(std::uint32_t id, std::uint32_t product, std::uint32_t slot) {
    pb::Req req;
    req.set_requestid(id);
    req.mutable_removesavegame()->set_productid(product);
    req.mutable_removesavegame()->set_slotid(slot);
    return req;
}

}  // namespace testing
}  // namespace kx
