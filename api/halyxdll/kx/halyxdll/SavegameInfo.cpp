#include "kx/common/Contract.h"
#include "kx/halyxdll/SavegameRecords.h"
#include "velhalyxapi_r2/SavegameHandles.h"

namespace kx {
namespace halyxdll {

SavegameInfo::SavegameInfo() : record_(new SavegameInfoRecord()) {}

SavegameInfo::~SavegameInfo() {
    delete record_;
}

const unsigned short* SavegameInfo::GetName() {
    KX_CHECK(record_ != nullptr);
    return record_->name.GetUtf16();
}

unsigned int SavegameInfo::GetProductId() {
    KX_CHECK(record_ != nullptr);
    return record_->productId;
}

unsigned int SavegameInfo::GetSavegameId() {
    KX_CHECK(record_ != nullptr);
    return record_->savegameId;
}

unsigned int SavegameInfo::GetSize() {
    KX_CHECK(record_ != nullptr);
    return record_->size;
}

}  // namespace halyxdll
}  // namespace kx
