#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "kx/clientbox/Buffer.h"
#include "kx/clientbox/Socket.h"
#include "kx/common/Atomic.h"
#include "kx/common/CriticalSection.h"
#include "kx/common/SharedPtr.h"

namespace kx {
namespace fuzz {

// A launcher pipe without a pipe: the bytes the fuzz target pushes become received chains of
// pooled buffers, the way the pipe reader thread would queue them; what the library sends is
// counted and dropped. Nothing is emitted on receipt: the target calls the connection's OnData
// itself, so the unframing runs on its thread in a reproducible order. Closing emits
// SignalClosed like a real socket.
//
// Threads: the fuzzing thread pushes, sends and closes; the connection may call Receive and
// IsClosed from the signal loop thread too. `lock_` guards the received chain; the closed mark
// is read without it.
class StandInSocket final : public clientbox::Socket {
public:
    StandInSocket() = default;
    ~StandInSocket() override = default;
    StandInSocket(const StandInSocket&) = delete;
    StandInSocket& operator=(const StandInSocket&) = delete;

    // Queues `length` bytes as received: one sealed buffer per 4096 bytes, linked after what
    // is queued already. Ignored once closed.
    void Push(const std::uint8_t* data, std::size_t length);
    // Frames sent so far (one per Send).
    unsigned GetSendCount() const { return static_cast<unsigned>(sends_.Load()); }

    void Send(common::SharedPtr<clientbox::Buffer>& chain) override;
    void Close() override;
    common::SharedPtr<clientbox::Buffer> Receive() override;
    bool IsClosed() const override { return closed_.Load() != 0; }
    bool IsListening() const override { return false; }

private:
    common::CriticalSection lock_;
    common::SharedPtr<clientbox::Buffer> received_;
    clientbox::Buffer* last_ = nullptr;  // the last buffer of received_, or null
    common::AtomicInt32 closed_;
    common::AtomicInt32 sends_;
};

}  // namespace fuzz
}  // namespace kx
