#include "shared/PeerContract.h"

namespace kx {
namespace bench {

namespace {

void PutWord(uint32_t value, unsigned char* out) {
    out[0] = static_cast<unsigned char>(value >> 24);
    out[1] = static_cast<unsigned char>(value >> 16);
    out[2] = static_cast<unsigned char>(value >> 8);
    out[3] = static_cast<unsigned char>(value);
}

uint32_t GetWord(const unsigned char* in) {
    return (static_cast<uint32_t>(in[0]) << 24) | (static_cast<uint32_t>(in[1]) << 16) |
           (static_cast<uint32_t>(in[2]) << 8) | in[3];
}

}  // namespace

void RawCommand::Encode(unsigned char* out) const {
    PutWord(kind, out);
    PutWord(total, out + 4);
    PutWord(chunk, out + 8);
    PutWord(reply, out + 12);
}

RawCommand RawCommand::Decode(const unsigned char* in) {
    RawCommand command;
    command.kind = GetWord(in);
    command.total = GetWord(in + 4);
    command.chunk = GetWord(in + 8);
    command.reply = GetWord(in + 12);
    return command;
}

}  // namespace bench
}  // namespace kx
