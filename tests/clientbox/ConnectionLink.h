#pragma once

#include <memory>
#include <string>

#include "ChainBytes.h"
#include "HalyxDll.pb.h"
#include "TestSupport.h"
#include "kx/clientbox/NamedPipeSocket.h"
#include "kx/clientbox/PBConnection.h"
#include "kx/common/SharedPtr.h"
#include "kx/testing/PipeNamespace.h"
#include "kx/testing/PipeServer.h"

namespace kx {
namespace testing {

using kx::clientbox::NamedPipeSocket;
using kx::clientbox::PBConnection;
using kx::common::SharedPtr;
using kx::protocol::halyxdll::Req;
using kx::protocol::halyxdll::Rsp;

// An answer carrying `size` pattern bytes of `seed`.
inline Rsp MakeRsp(unsigned requestId, std::size_t size, unsigned seed) {
    Rsp rsp;
    rsp.set_requestid(requestId);
    const std::vector<unsigned char> bytes = Pattern(size, seed);
    rsp.mutable_readsavegame()->set_data(std::string(bytes.begin(), bytes.end()));
    rsp.mutable_readsavegame()->set_requestoffset(0);
    rsp.mutable_readsavegame()->set_islastpart(true);
    return rsp;
}

// A request carrying `size` pattern bytes of `seed`.
inline Req MakeReq(unsigned requestId, std::size_t size, unsigned seed) {
    Req req;
    req.set_requestid(requestId);
    const std::vector<unsigned char> bytes = Pattern(size, seed);
    req.mutable_writesavegame()->set_productid(1);
    req.mutable_writesavegame()->set_slotid(2);
    req.mutable_writesavegame()->set_data(std::string(bytes.begin(), bytes.end()));
    return req;
}

// A message connection over a real pipe, with the server's end of that pipe.
struct ConnectionLink {
    ConnectionLink() : server(kx::testing::UniquePipeName()), socket(new NamedPipeSocket) {
        connected = socket->Connect(server.GetName().c_str());
        if (!connected) return;
        peer = server.Accept(kx::testing::kPatience);
        connection = SharedPtr<PBConnection>(new PBConnection(socket));
    }
    ~ConnectionLink() {
        if (connection) connection->Close();
    }

    // Polls TryReceive until it gives a message or `milliseconds` pass.
    bool WaitForMessage(google::protobuf::MessageLite* message, int milliseconds = 10000) {
        return WaitUntil([&] { return connection->TryReceive(message); }, milliseconds);
    }

    kx::testing::PipeServer server;
    SharedPtr<NamedPipeSocket> socket;
    bool connected = false;
    std::unique_ptr<kx::testing::PipeEnd> peer;
    SharedPtr<PBConnection> connection;
};

}  // namespace testing
}  // namespace kx
