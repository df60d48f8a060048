#pragma once

#include <google/protobuf/io/zero_copy_stream.h>

namespace kx {
namespace halyxdll {

// Bounds on what one answer of the launcher may cost the game. They are checked on the answer's
// encoded bytes before it is decoded, so that decoding never allocates more than a small
// multiple of the answer's size, however the launcher fills its frame. No real launcher comes
// near them.

// Savegames listed in one list answer.
constexpr unsigned kMaxListedSavegames = 4096;
// UTF-8 bytes of one savegame name (a name of 255 UTF-16 units takes at most 765).
constexpr unsigned kMaxSavegameNameBytes = 1024;
// UTF-8 bytes of each login field: user name, password, CD key.
constexpr unsigned kMaxLoginFieldBytes = 1024;
// Bytes of a server pipe name (a name over 256 bytes is refused later, with the invalid
// handle; up to this bound it still reaches the listener as that refusal).
constexpr unsigned kMaxServerPipeNameBytes = 1024;
// Fields that this library does not know, in all the nested messages of one answer; the
// decoder keeps each one.
constexpr unsigned kMaxUnknownFields = 64;

// Checks an encoded answer (`body` hands out exactly its bytes) against the bounds above,
// without allocating per field. Null when it keeps within them, else which one it breaks, as
// a text completing "Dropped a message that ...". Bytes that do not parse are left for the
// parser to refuse.
const char* CheckAnswerBounds(google::protobuf::io::ZeroCopyInputStream* body);

}  // namespace halyxdll
}  // namespace kx
