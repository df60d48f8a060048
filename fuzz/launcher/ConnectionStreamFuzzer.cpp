// Plays a fuzz input as the byte stream a launcher sends, in the pieces of a SplitPlan, into a
// message connection over a stand-in socket, and compares what the connection delivers with a
// model of the framing: every frame is a 4-byte big-endian length and a body; a length of 0 or
// above the connection's limit closes the connection; a body that does not parse is dropped;
// every other body is delivered, in order, as soon as its last byte has arrived.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "HalyxDll.pb.h"
#include "SplitPlan.h"
#include "StandInSocket.h"
#include "kx/clientbox/PBConnection.h"
#include "kx/common/SharedPtr.h"

namespace {

using kx::clientbox::PBConnection;
using kx::common::SharedPtr;
using kx::fuzz::StandInSocket;
using kx::protocol::halyxdll::Rsp;

// The framing model: reads frames off the bytes received so far.
class FramingModel {
public:
    // Takes `length` more received bytes; appends the encodings of the messages they complete.
    void Receive(const std::uint8_t* data, std::size_t length, std::vector<std::string>& out) {
        if (closed_) return;
        bytes_.append(reinterpret_cast<const char*>(data), length);
        for (;;) {
            if (bytes_.size() - position_ < 4) return;
            const auto* prefix = reinterpret_cast<const std::uint8_t*>(bytes_.data() + position_);
            const std::uint32_t body = static_cast<std::uint32_t>(prefix[0]) << 24 |
                                       static_cast<std::uint32_t>(prefix[1]) << 16 |
                                       static_cast<std::uint32_t>(prefix[2]) << 8 | prefix[3];
            if (body == 0 || body > PBConnection::kMaxBodyLength) {
                closed_ = true;
                return;
            }
            if (bytes_.size() - position_ - 4 < body) return;
            Rsp message;
            if (message.ParseFromArray(bytes_.data() + position_ + 4, static_cast<int>(body))) {
                out.push_back(message.SerializeAsString());
            }
            position_ += 4 + body;
        }
    }

    bool IsClosed() const { return closed_; }

private:
    std::string bytes_;
    std::size_t position_ = 0;
    bool closed_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    StandInSocket* socket = new StandInSocket;
    const SharedPtr<StandInSocket> socketRef(socket);
    const SharedPtr<PBConnection> connection(new PBConnection(socketRef));
    FramingModel model;
    std::vector<std::string> expected;
    std::size_t delivered = 0;

    kx::fuzz::SplitPlan plan(data, size);
    const std::uint8_t* piece;
    std::size_t length;
    while (plan.Next(piece, length)) {
        socket->Push(piece, length);
        model.Receive(piece, length, expected);
        connection->OnData();
        Rsp message;
        while (connection->TryReceive(&message)) {
            if (delivered >= expected.size()) {
                std::fprintf(stderr, "unexpected message: %s\n",
                             message.ShortDebugString().c_str());
            }
            KX_FUZZ_REQUIRE(delivered < expected.size());
            KX_FUZZ_REQUIRE(message.SerializeAsString() == expected[delivered]);
            ++delivered;
        }
        // Nothing complete stays behind, and nothing is left half-parsed in the message.
        KX_FUZZ_REQUIRE(delivered == expected.size());
        KX_FUZZ_REQUIRE(message.ByteSizeLong() == 0);
        KX_FUZZ_REQUIRE(connection->IsClosed() == model.IsClosed());
    }
    return 0;
}
