#pragma once

#include "kx/common/String.h"

namespace kx {
namespace halyxdll {

class HalyxSessionData;

// The internal records behind the savegame handles; each handle owns its record.

struct SavegameInfoRecord {
    common::String name;
    unsigned int productId = 0;
    unsigned int savegameId = 0;
    unsigned int size = 0;
};

struct SavegameReaderRecord {
    unsigned int productId = 0;
    unsigned int slotId = 0;
    HalyxSessionData* session = nullptr;  // not owned; outlives the reader
};

struct SavegameWriterRecord {
    unsigned int productId = 0;
    unsigned int slotId = 0;
    common::String name{"Unnamed"};
    HalyxSessionData* session = nullptr;  // not owned; outlives the writer
};

}  // namespace halyxdll
}  // namespace kx
