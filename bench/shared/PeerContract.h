#pragma once

#include <cstdint>

namespace kx {
namespace bench {

// What the benchmark program and its peer agree on. The peer serves two pipes: the launcher's
// pipe, where it answers the library's requests, and a raw pipe for the baselines, where a
// client sends one RawCommand at a time and gets plain bytes back.

// The raw pipe's name, beside the launcher's in the same pipe namespace.
constexpr const char* kRawPipeName = "halyx_bench_raw";

// Login details the peer hands out; the bench checks them and sizes its raw ping-pong by them.
constexpr const char* kUserName = "bench-player";
constexpr const char* kPassword = "correct horse battery staple";
constexpr const char* kCdKey = "ABCD-EFGH-IJKL-MNOP-QRST";

// The savegame every read is served from: kSavegameSize bytes of SavegameImage.
constexpr uint32_t kSavegameSize = 64u << 20;

// A read on slot s is answered in parts of s KiB (a write or an open on any slot is granted).
inline uint32_t PartSizeOfSlot(uint32_t slotId) {
    return slotId * 1024u;
}
inline uint32_t SlotOfPartSize(uint32_t partSize) {
    return partSize / 1024u;
}

// One request on the raw pipe: four 32-bit words, most significant byte first.
struct RawCommand {
    enum Kind : uint32_t {
        // The peer writes the first `total` savegame bytes in writes of `chunk` bytes.
        kStream = 1,
        // The peer reads `total` bytes in reads of up to `chunk` bytes, then writes 4 bytes.
        kSink = 2,
        // Until the client closes: the peer reads `chunk` bytes and answers `reply` bytes.
        kPingPong = 3,
    };
    uint32_t kind = 0;
    uint32_t total = 0;
    uint32_t chunk = 0;
    uint32_t reply = 0;

    static constexpr unsigned kEncodedSize = 16;
    // Writes the four words into `out` (kEncodedSize bytes).
    void Encode(unsigned char* out) const;
    // Reads the four words from `in` (kEncodedSize bytes).
    static RawCommand Decode(const unsigned char* in);
};

// Sends one RawCommand on the raw pipe through `pipe` (anything with WriteAll(data, size): the
// bench's raw client, a test's pipe end); false when the peer is gone.
template <typename Pipe>
bool SendRawCommand(Pipe& pipe, RawCommand::Kind kind, uint32_t total, uint32_t chunk,
                    uint32_t reply) {
    RawCommand command;
    command.kind = kind;
    command.total = total;
    command.chunk = chunk;
    command.reply = reply;
    unsigned char encoded[RawCommand::kEncodedSize];
    command.Encode(encoded);
    return pipe.WriteAll(encoded, sizeof(encoded));
}

}  // namespace bench
}  // namespace kx
