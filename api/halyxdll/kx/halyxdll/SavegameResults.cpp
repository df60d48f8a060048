#include "kx/halyxdll/SavegameResults.h"

#include "velhalyxapi_r2/Listeners.h"

namespace kx {
namespace halyxdll {

namespace wire = protocol::halyxdll;

unsigned int OpenForReadingResult(wire::StartReadSavegameRsp::Status status) {
    switch (status) {
        case wire::StartReadSavegameRsp::Ok:
            return kSavegameOk;
        case wire::StartReadSavegameRsp::NotFound:
            return kSavegameNotFound;
        case wire::StartReadSavegameRsp::SlotLocked:
            return kSavegameLocked;
        case wire::StartReadSavegameRsp::Failed:
            return kSavegameFailed;
    }
    return kSavegameFailed;
}

unsigned int OpenForWritingResult(wire::StartWriteSavegameRsp::Status status) {
    switch (status) {
        case wire::StartWriteSavegameRsp::Ok:
            return kSavegameOk;
        case wire::StartWriteSavegameRsp::OverWriteNotAllowed:
            return kSavegameNotFound;
        case wire::StartWriteSavegameRsp::SlotLocked:
            return kSavegameLocked;
        case wire::StartWriteSavegameRsp::Failed:
            return kSavegameFailed;
    }
    return kSavegameFailed;
}

unsigned int RemoveResult(wire::RemoveSavegameRsp::Status status) {
    switch (status) {
        case wire::RemoveSavegameRsp::Ok:
            return kSavegameOk;
        case wire::RemoveSavegameRsp::NotFound:
            return kSavegameNotFound;
        case wire::RemoveSavegameRsp::Locked:
            return kSavegameLocked;
        case wire::RemoveSavegameRsp::Failed:
            return kSavegameFailed;
    }
    return kSavegameFailed;
}

}  // namespace halyxdll
}  // namespace kx
