#include "kx/clientbox/PBConnection.h"

#include <google/protobuf/io/coded_stream.h>

#include <new>
#include <string>

#include "kx/clientbox/BufferBatch.h"
#include "kx/clientbox/OutgoingChains.h"
#include "kx/clientbox/ZeroCopyMemoryStreamReader.h"
#include "kx/clientbox/ZeroCopyWriteBufferWriter.h"
#include "kx/common/ScopedLock.h"
#include "kx/common/TickTimer.h"
#include "kx/logger/LogRecord.h"

namespace kx {
namespace clientbox {

using common::ScopedLock;
using common::SharedPtr;
using google::protobuf::MessageLite;

namespace {

constexpr unsigned kPrefixSize = 4;

}  // namespace

PBConnection::PBConnection(const SharedPtr<Socket>& socket)
    : readySet_(false),
      eventSet_(false),
      waiters_(0),
      expected_(0),
      bodyReady_(0),
      givenSocket_(socket),
      socketGone_(socket ? 0 : 1),
      fillingBytes_(0),
      frameTakers_(0),
      dataPending_(0) {
    if (!socket) return;
    ScopedLock guard(&lock_);
    socket_ = socket;
    const SharedPtr<PBConnection> self = GetSharedPtr();
    socket->SignalReceived.Connect(self, &PBConnection::OnData);
    // Bytes may have arrived before the subscription.
    Unframe();
    socket->SignalClosed.Connect(self, &PBConnection::OnSocketClosed);
}

PBConnection::~PBConnection() {}

bool PBConnection::Send(const MessageLite& message) {
    // A large request takes many buffers while the I/O thread gives back those of the last.
    BufferBatch batch;
    ScopedLock guard(&lock_);
    // Above 2 GiB serialization fails, so the size fits the prefix whenever a frame is sent.
    const size_t size = message.ByteSizeLong();
    const uint8_t prefix[kPrefixSize] = {
        static_cast<uint8_t>(size >> 24), static_cast<uint8_t>(size >> 16),
        static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size)};
    // A large body goes to the socket apart from its prefix, so that the pipe socket writes it
    // on its own (OutgoingChains): a reader that takes the prefix and then the body gets each
    // as one whole pipe write, which a pipe server can hand over as it is instead of copying
    // it into a fresh block.
    SharedPtr<Buffer> separatePrefix;
    if (size > OutgoingChains::kOwnWriteBytes) {
        separatePrefix = SharedPtr<Buffer>(new Buffer);
        separatePrefix->Write(prefix, kPrefixSize);
        separatePrefix->Seal();
    }
    SharedPtr<Buffer> chain;
    {
        ZeroCopyWriteBufferWriter writer;
        {
            google::protobuf::io::CodedOutputStream coded(&writer);
            if (!separatePrefix) coded.WriteRaw(prefix, kPrefixSize);
            if (!message.SerializeToCodedStream(&coded)) return false;
            // Destroying the coded stream gives back the unused end of its last region.
        }
        chain = writer.GetFirst();
    }
    chain->Seal();
    if (socket_) {
        if (separatePrefix) socket_->Send(separatePrefix);
        socket_->Send(chain);
    }
    return true;
}

PBConnection::Outcome PBConnection::TakeFrame(MessageLite* message, BodyCheck check) {
    message->Clear();
    // The game polls every frame: with nothing complete, answer without touching the lock.
    if (bodyReady_.Load() == 0) return Outcome::kNothing;
    frameTakers_.Increment();
    const Outcome outcome = TakeWholeFrame(message, check);
    frameTakers_.Decrement();
    // Bytes the socket reported meanwhile were left to the takers (see OnData).
    if (dataPending_.Load() != 0) TakePendingData();
    return outcome;
}

PBConnection::Outcome PBConnection::TakeWholeFrame(MessageLite* message, BodyCheck check) {
    // A frame's buffers go back to the pool as it is parsed, while the I/O thread takes fresh
    // ones for the next frames.
    BufferBatch batch;
    ScopedLock guard(&lock_);
    if (!HasWholeBody()) {
        bodyReady_.Store(0);
        SetReady(false);
        return Outcome::kNothing;
    }
    const uint32_t length = expected_;
    std::string missing;
    const char* refusal = check != nullptr ? CheckBody(check, length) : nullptr;
    if (refusal == nullptr) {
        refusal = ParseBody(message, length, &missing);
    } else {
        stream_.Skip(length);
    }
    expected_ = 0;
    Unframe();
    if (!HasWholeBody()) SetReady(false);
    if (refusal == nullptr) return Outcome::kMessage;
    message->Clear();
    drops_.Record(length, refusal,
                  missing.empty() ? "" : ("; missing required fields: " + missing).c_str());
    return Outcome::kDropped;
}

bool PBConnection::TryReceive(MessageLite* message) {
    for (;;) {
        const Outcome outcome = TakeFrame(message);
        if (outcome != Outcome::kDropped) return outcome == Outcome::kMessage;
    }
}

const char* PBConnection::ParseBody(MessageLite* message, uint32_t length, std::string* missing) {
    const char* refusal = nullptr;
    int64_t consumed;
    {
        // Bounded to the frame: the parser cannot take bytes of the next frame, whatever it
        // does on failure.
        ZeroCopyMemoryStreamReader reader(&stream_, length);
        try {
            if (!message->ParsePartialFromBoundedZeroCopyStream(&reader,
                                                                static_cast<int>(length))) {
                refusal = "does not parse";
            } else if (!message->IsInitialized()) {
                // Required fields are checked here rather than by the parser, which would also
                // write a line of the protobuf library's own to standard error.
                refusal = "does not parse";
                *missing = message->InitializationErrorString();
            }
        } catch (const std::bad_alloc&) {
            refusal = "could not be allocated";
        }
        consumed = reader.ByteCount();
    }
    stream_.Skip(length - static_cast<uint32_t>(consumed));
    return refusal;
}

const char* PBConnection::CheckBody(BodyCheck check, uint32_t length) {
    ZeroCopyMemoryStreamReader reader(&stream_, length);
    const char* refusal = check(&reader);
    reader.BackUp(static_cast<int>(reader.ByteCount()));
    return refusal;
}

bool PBConnection::Receive(MessageLite* message) {
    if (IsClosed()) return false;
    for (;;) {
        CountWaiter(1);
        ready_.Wait();
        CountWaiter(-1);
        if (TryReceive(message)) return true;
        if (IsClosed()) return false;
    }
}

bool PBConnection::ReceiveWithTimeout(MessageLite* message, unsigned milliseconds, bool& expired) {
    expired = false;
    common::TickTimer timer(milliseconds);
    if (IsClosed()) return false;
    for (;;) {
        bool signalled;
        CountWaiter(1);
        ready_.Wait(timer.GetRemaining(), signalled);
        CountWaiter(-1);
        if (TryReceive(message)) return true;
        if (IsClosed()) return false;
        if (timer.GetRemaining() == 0) {
            expired = true;
            return false;
        }
    }
}

bool PBConnection::IsClosed() {
    return socketGone_.Load() != 0 || givenSocket_->IsClosed();
}

void PBConnection::Close() {
    ScopedLock guard(&lock_);
    if (!socket_) return;
    socket_->Close();
    socket_.Reset();
    socketGone_.Store(1);
}

void PBConnection::OnData() {
    // A frame is parsed under the lock, and the game's thread takes one frame after another:
    // waiting here for the lock would cost this thread a sleep and the game's thread the call
    // that wakes it, for every read. So while a frame is being taken, its taker takes the new
    // bytes once it is done. Both sides store before they load, so one of them sees the other.
    dataPending_.Store(1);
    if (frameTakers_.Load() != 0) return;
    TakePendingData();
}

void PBConnection::TakePendingData() {
    ScopedLock guard(&lock_);
    Unframe();
}

void PBConnection::Unframe() {
    // Whatever the socket reports from here on is left for the next call.
    dataPending_.Store(0);
    if (!socket_) return;
    // Past the bound, the socket keeps the bytes (and stops reading) until frames are taken.
    if (stream_.GetSize() + fillingBytes_ < kMaxUnreadBytes) TakeReceived();
    if (expected_ == 0) {
        RevealFillingFor(kPrefixSize);
        if (stream_.GetSize() < kPrefixSize) return;
        uint8_t prefix[kPrefixSize];
        stream_.Read(prefix, kPrefixSize);
        const uint32_t length = (static_cast<uint32_t>(prefix[0]) << 24) |
                                (static_cast<uint32_t>(prefix[1]) << 16) |
                                (static_cast<uint32_t>(prefix[2]) << 8) | prefix[3];
        if (length == 0 || length > kMaxBodyLength) {
            KX_LOG(common::kLogError) << "Refused a message length of " << length << ".";
            // Letting go of the socket at once ends the unframing here: what follows is the
            // refused frame's body, and handlers queued before the closed signal's would read
            // it as frames.
            Close();
            return;
        }
        expected_ = length;
    }
    RevealFillingFor(expected_);
    if (stream_.GetSize() >= expected_) {
        bodyReady_.Store(1);
        SetReady(true);
        SignalMessage.Emit();
    }
}

void PBConnection::TakeReceived() {
    SharedPtr<Buffer> chain = socket_->Receive();
    while (chain) {
        // Each link is unlinked from the next by swapping pointers: a long chain costs no
        // interlocked operation per link beyond the stream's own reference.
        SharedPtr<Buffer> next;
        chain->SwapNext(&next);
        if (chain->Remaining() < Buffer::kSize / 4) {
            CopyIntoFilling(*chain);
        } else {
            // Order holds: the bytes being gathered came first.
            MoveFillingToStream();
            stream_.Append(chain);
        }
        chain.Swap(next);
    }
}

void PBConnection::CopyIntoFilling(const Buffer& sparse) {
    const unsigned char* region;
    unsigned size = sparse.GetReadRegion(&region);
    while (size > 0) {
        if (!filling_) filling_ = SharedPtr<Buffer>(new Buffer);
        const unsigned written = filling_->Write(region, size);
        region += written;
        size -= written;
        fillingBytes_ += written;
        if (filling_->Remaining() == 0) MoveFillingToStream();
    }
}

void PBConnection::RevealFillingFor(uint32_t needed) {
    if (stream_.GetSize() < needed && stream_.GetSize() + fillingBytes_ >= needed) {
        MoveFillingToStream();
    }
}

void PBConnection::MoveFillingToStream() {
    if (!filling_) return;
    filling_->Seal();
    stream_.Append(filling_);
    filling_.Reset();
    fillingBytes_ = 0;
}

void PBConnection::OnSocketClosed() {
    ScopedLock guard(&lock_);
    socket_.Reset();
    socketGone_.Store(1);
    SetReady(true);
    SignalClosed.Emit();
}

bool PBConnection::HasWholeBody() const {
    return expected_ != 0 && stream_.GetSize() >= expected_;
}

void PBConnection::SetReady(bool ready) {
    readySet_ = ready;
    SyncReadyEvent();
}

void PBConnection::SyncReadyEvent() {
    // The event follows the ready state only while someone waits (and is reset when the state
    // falls): the game polls TakeFrame, and a frame that nobody waits for then costs no
    // kernel call on either side.
    if (readySet_ && waiters_ > 0 && !eventSet_) {
        eventSet_ = true;
        ready_.Set();
    } else if (!readySet_ && eventSet_) {
        eventSet_ = false;
        ready_.Reset();
    }
}

void PBConnection::CountWaiter(int change) {
    ScopedLock guard(&lock_);
    waiters_ += change;
    SyncReadyEvent();
}

}  // namespace clientbox
}  // namespace kx
