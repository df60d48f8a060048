#pragma once

#include "kx/clientbox/Buffer.h"
#include "kx/common/SharedPtr.h"
#include "kx/common/Signal.h"

namespace kx {
namespace clientbox {

// A bidirectional byte channel whose data travels as chains of sealed buffers. State changes
// are announced through four signals; their handlers run later on the signal loop thread.
// The order of the virtual operations is fixed (slot order).
// Threads: every operation may be called on any thread; implementations guard their state.
class Socket {
public:
    virtual ~Socket() {}

    // Takes over a sealed chain and writes it out; `chain` is empty afterwards, so written
    // buffers can go back to the pool while the rest is still being written. An empty pointer
    // does nothing. On a closed socket the chain is dropped without any report.
    virtual void Send(common::SharedPtr<Buffer>& chain) = 0;
    // Closes the channel; a closed socket ignores the call.
    virtual void Close() = 0;
    // Takes every received, unread byte as one chain; empty pointer when there are none.
    virtual common::SharedPtr<Buffer> Receive() = 0;
    // True while the channel is not open.
    virtual bool IsClosed() const = 0;
    // True for the listening end of a channel; nothing in the library asks.
    virtual bool IsListening() const = 0;

    // Emitted once each time an open socket becomes closed.
    common::Signal SignalClosed;
    // Emitted when the socket has opened its channel.
    common::Signal SignalConnected;
    // Emitted when a write-out has written everything queued.
    common::Signal SignalSent;
    // Emitted after received bytes have been added to the unread bytes, at least whenever
    // there were none before: a handler takes every unread byte with Receive, so bytes that
    // join unread ones before it runs need no signal of their own.
    common::Signal SignalReceived;
};

}  // namespace clientbox
}  // namespace kx
