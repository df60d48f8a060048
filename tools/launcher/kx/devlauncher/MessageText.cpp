#include "kx/devlauncher/MessageText.h"

#include <sstream>

namespace kx {
namespace devlauncher {

namespace pb = protocol::halyxdll;

namespace {

const char* YesNo(bool value) {
    return value ? "yes" : "no";
}

}  // namespace

std::string DescribeRequest(const pb::Req& req) {
    std::ostringstream out;
    out << "#" << req.requestid() << " ";
    if (req.has_getlogindetails()) {
        out << "getLoginDetails";
    } else if (req.has_getosi()) {
        out << "getOsi product=" << req.getosi().productid()
            << " subProduct=" << req.getosi().subproductid();
    } else if (req.has_listsavegames()) {
        out << "listSavegames product=" << req.listsavegames().productid();
    } else if (req.has_startreadsavegame()) {
        const auto& m = req.startreadsavegame();
        out << "startReadSavegame product=" << m.productid() << " slot=" << m.slotid();
    } else if (req.has_stopreadsavegame()) {
        const auto& m = req.stopreadsavegame();
        out << "stopReadSavegame product=" << m.productid() << " slot=" << m.slotid();
    } else if (req.has_readsavegame()) {
        const auto& m = req.readsavegame();
        out << "readSavegame product=" << m.productid() << " slot=" << m.slotid()
            << " offset=" << m.offset() << " numBytes=" << m.numbytes();
    } else if (req.has_startwritesavegame()) {
        const auto& m = req.startwritesavegame();
        out << "startWriteSavegame product=" << m.productid() << " slot=" << m.slotid()
            << " overWrite=" << YesNo(m.overwriteexisting());
    } else if (req.has_stopwritesavegame()) {
        const auto& m = req.stopwritesavegame();
        out << "stopWriteSavegame product=" << m.productid() << " slot=" << m.slotid() << " name=\""
            << m.name() << "\" persist=" << YesNo(m.persist());
    } else if (req.has_writesavegame()) {
        const auto& m = req.writesavegame();
        out << "writeSavegame product=" << m.productid() << " slot=" << m.slotid()
            << " bytes=" << m.data().size();
    } else if (req.has_removesavegame()) {
        const auto& m = req.removesavegame();
        out << "removeSavegame product=" << m.productid() << " slot=" << m.slotid();
    } else {
        out << "(no request slot)";
    }
    return out.str();
}

std::string DescribeAnswer(const pb::Rsp& rsp) {
    std::ostringstream out;
    out << "#" << rsp.requestid() << " ";
    if (rsp.has_getlogindetails()) {
        out << "getLoginDetails username=\"" << rsp.getlogindetails().username() << "\"";
    } else if (rsp.has_getosi()) {
        const auto& m = rsp.getosi();
        out << "getOsi " << pb::GetOsiRsp::Status_Name(m.status());
        if (m.has_pipename()) {
            out << " pipe=" << m.pipename();
        }
    } else if (rsp.has_listsavegames()) {
        const auto& m = rsp.listsavegames();
        out << "listSavegames count=" << m.savegameinfos_size();
        for (const auto& info : m.savegameinfos()) {
            out << " [slot=" << info.slotid() << " size=" << info.size() << " name=\""
                << info.name() << "\"]";
        }
    } else if (rsp.has_startreadsavegame()) {
        const auto& m = rsp.startreadsavegame();
        out << "startReadSavegame product=" << m.productid() << " slot=" << m.slotid() << " "
            << pb::StartReadSavegameRsp::Status_Name(m.status());
    } else if (rsp.has_readsavegame()) {
        const auto& m = rsp.readsavegame();
        out << "readSavegame requestOffset=" << m.requestoffset() << " bytes=" << m.data().size()
            << " last=" << YesNo(m.islastpart());
    } else if (rsp.has_startwritesavegame()) {
        const auto& m = rsp.startwritesavegame();
        out << "startWriteSavegame product=" << m.productid() << " slot=" << m.slotid() << " "
            << pb::StartWriteSavegameRsp::Status_Name(m.status());
    } else if (rsp.has_writesavegame()) {
        const auto& m = rsp.writesavegame();
        out << "writeSavegame " << pb::WriteSavegameRsp::Status_Name(m.status())
            << " bytesWritten=" << m.byteswritten();
    } else if (rsp.has_stopwritesavegame()) {
        out << "stopWriteSavegame";
    } else if (rsp.has_removesavegame()) {
        out << "removeSavegame "
            << pb::RemoveSavegameRsp::Status_Name(rsp.removesavegame().status());
    } else {
        out << "(no answer slot)";
    }
    return out.str();
}

}  // namespace devlauncher
}  // namespace kx
