#pragma once

#include <google/protobuf/io/zero_copy_stream.h>
#include <google/protobuf/message_lite.h>

#include <cstdint>
#include <string>

#include "kx/clientbox/DropLog.h"
#include "kx/clientbox/MemoryStream.h"
#include "kx/clientbox/Socket.h"
#include "kx/common/Atomic.h"
#include "kx/common/CriticalSection.h"
#include "kx/common/Event.h"
#include "kx/common/IntrusivePtrBase.h"
#include "kx/common/SharedPtr.h"
#include "kx/common/Signal.h"

namespace kx {
namespace clientbox {

// Turns a Socket into a channel of whole protobuf messages. Every message travels as a frame:
// its encoded length L as 4 bytes, most significant first, then the L bytes of its encoding.
// Messages are serialized straight into pooled buffers and parsed straight out of the buffers
// the pipe reads filled; no message byte is copied on the way. Received bytes are unframed as
// they arrive; a body is parsed only once all of its bytes are there.
//
// A length of 0 or above kMaxBodyLength closes the connection as Close does, so nothing behind
// it is unframed. A body that is refused (by the caller's check, by the parser, or for want of
// memory) is dropped and reported through a DropLog: exactly its L bytes are consumed and the
// next frame goes on.
//
// Received bytes are taken from the socket only while fewer than kMaxUnreadBytes are buffered
// here; the socket in turn stops reading once it holds that many (see Socket::Receive), so a
// peer that sends while nobody polls ends up blocked in its own writes instead of filling
// memory. A whole frame of the largest length still fits.
//
// Lifetime: create with new and hand the pointer to one SharedPtr<PBConnection>. The
// connection subscribes to its socket's signals through weak pointers, so the subscriptions
// lapse when it is destroyed; destroying it does not close the socket.
//
// Threads: the game's thread calls Send, TakeFrame, TryReceive, Receive, ReceiveWithTimeout,
// IsClosed and Close; OnData and OnSocketClosed run on the signal loop thread. `lock_` guards
// the expected length, the socket reference, the stream, the drop log, the ready state, its
// event and the waiter count; it is held across Send (which only queues the frame with the
// socket), each TakeFrame that finds a whole body (including checking and parsing it) and
// the unframing that OnData starts, and is taken before the socket's locks. OnData leaves the
// unframing to a thread in TakeFrame if there is one (see `frameTakers_`), so that the signal
// loop thread never waits for a parse. `bodyReady_` is set under the lock and read
// without it, so that polling a connection with nothing complete takes no lock; IsClosed takes
// none either (see `socketGone_`). Receive and ReceiveWithTimeout wait on the ready event
// without the lock.
class PBConnection : public common::IntrusivePtrBase<PBConnection> {
public:
    // The largest body accepted: what the system was designed with.
    static constexpr uint32_t kMaxBodyLength = 64u * 1024u * 1024u;
    // The most received bytes buffered here before taking more from the socket waits for
    // the game to take frames: one frame of the largest length with its prefix.
    static constexpr uint32_t kMaxUnreadBytes = kMaxBodyLength + 4;

    // What TakeFrame found.
    enum class Outcome { kNothing, kMessage, kDropped };

    // Inspects a whole body before it is parsed: returns null when the body may be parsed,
    // else why it is refused, as a text completing "Dropped a message that ...". `body` hands
    // out exactly the body's bytes; the check may read any of them and need not give any back.
    using BodyCheck = const char* (*)(google::protobuf::io::ZeroCopyInputStream* body);

    // Uses `socket` (may be empty, giving a closed connection): subscribes to its received
    // and closed signals and takes any bytes that arrived already.
    explicit PBConnection(const common::SharedPtr<Socket>& socket);
    ~PBConnection();

    PBConnection(const PBConnection&) = delete;
    PBConnection& operator=(const PBConnection&) = delete;

    // Frames `message` and hands it to the socket, which queues it for its I/O thread: this
    // never waits for the peer.
    // False when the message could not be serialized (nothing is sent). True does not mean
    // the bytes arrived: a closed socket drops the frame, and a failed write closes it.
    bool Send(const google::protobuf::MessageLite& message);

    // Never blocks. Clears `message` and takes the next whole body, if one is buffered:
    // kMessage when it passed `check` (when given) and parsed into `message`; kDropped when it
    // was refused (`message` is cleared; see DropLog); kNothing when no whole body is there.
    // Costs no lock while no whole body is there.
    Outcome TakeFrame(google::protobuf::MessageLite* message, BodyCheck check = nullptr);

    // Like TakeFrame without a check, but goes on past dropped bodies: true when a message was
    // parsed into `message`, false when no whole body is left.
    bool TryReceive(google::protobuf::MessageLite* message);

    // Waits without a time limit for a message (see TryReceive); false once the connection
    // has closed with no message left.
    bool Receive(google::protobuf::MessageLite* message);

    // Like Receive, but gives up after `milliseconds`; `expired` tells whether it did.
    bool ReceiveWithTimeout(google::protobuf::MessageLite* message, unsigned milliseconds,
                            bool& expired);

    // True once the socket is gone or reports that it is closed.
    bool IsClosed();

    // Closes the socket and lets go of it.
    void Close();

    // Handler of the socket's SignalReceived: takes the socket's bytes and reads the next
    // length prefix; sets the ready event and emits SignalMessage when a whole body is there.
    // While another thread takes a frame, it leaves all that to that thread, which does it
    // before its TakeFrame returns.
    void OnData();

    // Handler of the socket's SignalClosed: lets go of the socket, sets the ready event and
    // emits SignalClosed.
    void OnSocketClosed();

    // Emitted when a whole body is buffered.
    common::Signal SignalMessage;
    // Emitted when the socket has reported its closing.
    common::Signal SignalClosed;

private:
    // TakeFrame past the poll: parses or drops the frame at the stream's head under the lock.
    Outcome TakeWholeFrame(google::protobuf::MessageLite* message, BodyCheck check);
    // Takes the lock and unframes.
    void TakePendingData();
    // Takes the socket's bytes and reads the next length prefix; sets the ready event and
    // emits SignalMessage when a whole body is there (lock held).
    void Unframe();
    // Parses the whole body at the stream's head into `message` and consumes it; null on
    // success, else the reason it was dropped, with any missing required fields in `missing`
    // (lock held).
    const char* ParseBody(google::protobuf::MessageLite* message, uint32_t length,
                          std::string* missing);
    // Runs `check` over the whole body at the stream's head and returns to its start (lock held).
    const char* CheckBody(BodyCheck check, uint32_t length);
    // Whether the body of the frame whose prefix was read is all buffered (lock held).
    bool HasWholeBody() const;
    // Records whether a whole body is buffered or the socket has closed (lock held).
    void SetReady(bool ready);
    // Brings the ready event in line with the ready state and the waiters (lock held).
    void SyncReadyEvent();
    // Adds `change` to the waiters and syncs the event (takes the lock).
    void CountWaiter(int change);
    // Moves what the socket received into the stream (lock held). A peer that sends a few
    // bytes at a time would otherwise hold a whole pooled buffer per read until its frame is
    // complete (4096 times the bytes, at one byte a read): the bytes of buffers less than a
    // quarter full are copied together into `filling_` instead, so every buffer in the stream
    // is at least a quarter full, but for the one that a frame needed before it was full.
    void TakeReceived();
    // Appends the bytes of `sparse` to `filling_`, moving each filled buffer to the stream.
    void CopyIntoFilling(const Buffer& sparse);
    // Moves `filling_` into the stream when the stream needs its bytes to hold `needed`.
    void RevealFillingFor(uint32_t needed);
    // Seals `filling_` and appends it to the stream (lock held).
    void MoveFillingToStream();

    common::CriticalSection lock_;
    // Manual reset: while someone waits in Receive or ReceiveWithTimeout, set when a whole
    // body is buffered or the socket has closed; reset once neither holds.
    common::Event ready_;
    // A whole body is buffered or the socket has closed (as of the last TakeFrame or OnData).
    bool readySet_;
    // The state `ready_` was last given.
    bool eventSet_;
    // Threads waiting on `ready_`.
    int waiters_;
    // L of the frame whose prefix has been read and whose body has not been taken; 0 while no
    // prefix is pending.
    uint32_t expected_;
    // 1 from when OnData finds a whole body buffered until a TryReceive finds none left.
    common::AtomicInt32 bodyReady_;
    common::SharedPtr<Socket> socket_;
    // The socket given at construction, held for the connection's whole life and never
    // changed, so that IsClosed can ask it without the lock; and 1 once `socket_` is empty.
    const common::SharedPtr<Socket> givenSocket_;
    common::AtomicInt32 socketGone_;
    // Received bytes not yet consumed; starts right after the last consumed prefix or body.
    MemoryStream stream_;
    // Received bytes gathered from sparse buffers, which follow the stream's bytes; empty
    // while none are gathered.
    common::SharedPtr<Buffer> filling_;
    uint32_t fillingBytes_;
    DropLog drops_;
    // Threads inside TakeFrame past its poll, and 1 from a SignalReceived until the next
    // unframing: OnData leaves the bytes to those threads (see OnData).
    common::AtomicInt32 frameTakers_;
    common::AtomicInt32 dataPending_;
};

}  // namespace clientbox
}  // namespace kx
