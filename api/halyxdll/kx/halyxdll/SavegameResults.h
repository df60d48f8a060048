#pragma once

#include "HalyxDll.pb.h"

namespace kx {
namespace halyxdll {

// The result code (kSavegameOk and the rest, in the public header) that the game receives for
// each status the launcher may send. The wire's three status lists disagree on numbers (a
// writer's "locked" is 1 on the wire, a reader's 2); the game sees one meaning per code. A
// status this library does not know is kSavegameFailed.
unsigned int OpenForReadingResult(protocol::halyxdll::StartReadSavegameRsp::Status status);
unsigned int OpenForWritingResult(protocol::halyxdll::StartWriteSavegameRsp::Status status);
unsigned int RemoveResult(protocol::halyxdll::RemoveSavegameRsp::Status status);

}  // namespace halyxdll
}  // namespace kx
