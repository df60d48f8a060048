#include "kx/common/Contract.h"
#include "kx/halyxdll/CallGuard.h"
#include "kx/halyxdll/SavegameRecords.h"
#include "kx/halyxdll/halyxdll_internal.h"
#include "velhalyxapi_r2/SavegameHandles.h"

namespace kx {
namespace halyxdll {

namespace {

// The longest name, in UTF-16 units, that the launcher stores.
constexpr unsigned int kMaxNameUnits = 255;

// The session the writer was opened in; using a writer after that session ended is a
// programming error of the game.
HalyxSessionData& SessionOf(const SavegameWriterRecord* record) {
    KX_CHECK(record != nullptr);
    KX_CHECK(record->session == HalyxSessionData::Current());
    return *record->session;
}

}  // namespace

SavegameWriter::SavegameWriter(SavegameWriterRecord* record) : record_(record) {}

SavegameWriter::~SavegameWriter() {
    delete record_;
}

bool SavegameWriter::SetName(const unsigned short* name) {
    KX_CHECK(record_ != nullptr);
    unsigned int units = 0;
    if (name != nullptr) {
        while (name[units] != 0) {
            if (++units > kMaxNameUnits) return false;
        }
    }
    // Text that is not valid UTF-16 is refused like a long one: the name stays as it was.
    common::String decoded;
    if (!decoded.SetUtf16(name, static_cast<int>(units))) return false;
    record_->name = decoded;
    return true;
}

void SavegameWriter::Write(unsigned int requestId, ISavegameWriteListener* listener,
                           const void* data, unsigned int byteCount) {
    GuardCall([&] {
        SessionOf(record_).Write(requestId, listener, record_->productId, record_->slotId, data,
                                 byteCount);
    });
}

void SavegameWriter::Close(bool persist) {
    GuardCall([&] {
        SessionOf(record_).StopWrite(record_->productId, record_->slotId, record_->name.GetUtf8(),
                                     persist);
    });
    delete this;
}

}  // namespace halyxdll
}  // namespace kx
