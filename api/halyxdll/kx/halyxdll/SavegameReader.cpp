#include "kx/common/Contract.h"
#include "kx/halyxdll/CallGuard.h"
#include "kx/halyxdll/SavegameRecords.h"
#include "kx/halyxdll/halyxdll_internal.h"
#include "velhalyxapi_r2/SavegameHandles.h"

namespace kx {
namespace halyxdll {

namespace {

// The session the reader was opened in; using a reader after that session ended is a
// programming error of the game.
HalyxSessionData& SessionOf(const SavegameReaderRecord* record) {
    KX_CHECK(record != nullptr);
    KX_CHECK(record->session == HalyxSessionData::Current());
    return *record->session;
}

}  // namespace

SavegameReader::SavegameReader(SavegameReaderRecord* record) : record_(record) {}

SavegameReader::~SavegameReader() {
    delete record_;
}

void SavegameReader::Read(unsigned int requestId, ISavegameReadListener* listener,
                          unsigned int offset, void* destination, unsigned int byteCount) {
    GuardCall([&] {
        SessionOf(record_).Read(requestId, listener, record_->productId, record_->slotId, offset,
                                destination, byteCount);
    });
}

void SavegameReader::Close() {
    GuardCall([&] { SessionOf(record_).StopRead(record_->productId, record_->slotId); });
    delete this;
}

}  // namespace halyxdll
}  // namespace kx
