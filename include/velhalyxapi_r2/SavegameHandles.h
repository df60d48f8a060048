#ifndef VELHALYXAPI_R2_SAVEGAMEHANDLES_H
#define VELHALYXAPI_R2_SAVEGAMEHANDLES_H

#include "velhalyxapi_r2/Export.h"
#include "velhalyxapi_r2/Listeners.h"

// Savegame handles. The library creates all three; the game never constructs or deletes one.
// All methods run on the game's thread.

namespace kx {
namespace halyxdll {

struct SavegameInfoRecord;
struct SavegameReaderRecord;
struct SavegameWriterRecord;
class HalyxSessionData;

// One savegame of a list answer. Lives only during the OnGetSavegameList call that received it.
class VELHALYX_API SavegameInfo {
public:
    // The display name as zero-terminated UTF-16; valid as long as this object.
    const unsigned short* GetName();
    // The product id of the list request that produced this entry.
    unsigned int GetProductId();
    // The slot id of the savegame.
    unsigned int GetSavegameId();
    // The size in bytes as the launcher reported it.
    unsigned int GetSize();

private:
    friend class HalyxSessionData;
    SavegameInfo();
    ~SavegameInfo();
    SavegameInfo(const SavegameInfo&) = delete;
    SavegameInfo& operator=(const SavegameInfo&) = delete;

    SavegameInfoRecord* record_;
};

// A savegame open for reading. Owned by the game from OnGetSavegameReader until Close.
class VELHALYX_API SavegameReader {
public:
    // Asks for byteCount bytes at offset. The bytes arrive in destination during later Update
    // calls; the game keeps destination (byteCount bytes) valid until OnSavegameRead, or until
    // the connection is lost (the library then forgets the read).
    void Read(unsigned int requestId, ISavegameReadListener* listener, unsigned int offset,
              void* destination, unsigned int byteCount);
    // Tells the launcher the savegame is no longer read and destroys this reader. Reads still
    // pending are served when their answers arrive.
    void Close();

private:
    friend class HalyxSessionData;
    explicit SavegameReader(SavegameReaderRecord* record);
    ~SavegameReader();
    SavegameReader(const SavegameReader&) = delete;
    SavegameReader& operator=(const SavegameReader&) = delete;

    SavegameReaderRecord* record_;
};

// A savegame slot open for writing. Owned by the game from OnGetSavegameWriter until Close.
class VELHALYX_API SavegameWriter {
public:
    // Sets the display name (zero-terminated UTF-16). More than 255 units: returns false and
    // keeps the previous name. The name starts as "Unnamed".
    bool SetName(const unsigned short* name);
    // The largest byteCount one Write sends (64 MiB less 64 bytes: one message must hold it).
    static const unsigned int kMaxWriteByteCount = 64u * 1024u * 1024u - 64u;
    // Appends byteCount bytes; they are copied before this returns. More than
    // kMaxWriteByteCount bytes, or too little memory to copy them, refuses the write inside
    // this call: the listener receives 0 bytes written and nothing is sent.
    void Write(unsigned int requestId, ISavegameWriteListener* listener, const void* data,
               unsigned int byteCount);
    // Ends the writing: the launcher keeps what was written when persist is true and discards
    // it otherwise. Destroys this writer.
    void Close(bool persist);

private:
    friend class HalyxSessionData;
    explicit SavegameWriter(SavegameWriterRecord* record);
    ~SavegameWriter();
    SavegameWriter(const SavegameWriter&) = delete;
    SavegameWriter& operator=(const SavegameWriter&) = delete;

    SavegameWriterRecord* record_;
};

}  // namespace halyxdll
}  // namespace kx

#endif  // VELHALYXAPI_R2_SAVEGAMEHANDLES_H
