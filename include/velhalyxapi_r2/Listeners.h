#ifndef VELHALYXAPI_R2_LISTENERS_H
#define VELHALYXAPI_R2_LISTENERS_H

#include "velhalyxapi_r2/Export.h"

// The interfaces a game implements to receive the results of its requests. Each has exactly
// one operation and it is the first virtual function, so a game built with any compiler can
// implement them. They deliberately declare no virtual destructor (compilers disagree on how
// many table slots one takes); the library never deletes a listener.
//
// Every listener is called on the game's thread: inside the request call for results known at
// once, otherwise inside Update. The game owns every listener and keeps it alive until its
// operation has been called, or until the connection that carried its request is lost: the
// library then forgets the request without calling its listener, and no later connection's
// answer reaches it. Pointers passed into an operation are valid only during the call.
//
// An answer of the launcher that would cost the game more than a real launcher ever sends is
// dropped (and logged) before it is decoded; its listener is not called: more than 4096
// savegames in one list, a savegame name or a login field over 1024 UTF-8 bytes, a server pipe
// name over 1024 bytes, more than 64 fields this library does not know.
//
// The result codes below are what the savegame listeners receive.

namespace kx {
namespace halyxdll {

// Result codes of opening a savegame for reading or writing and of removing one. Plain
// constants, so that every listener signature keeps its plain unsigned int.
const unsigned int kSavegameOk = 0;
// Reading or removing: the slot holds no savegame. Opening a writer without overwriting: the
// slot holds a savegame already (overwrite refused).
const unsigned int kSavegameNotFound = 1;
// Another reader or writer holds the slot.
const unsigned int kSavegameLocked = 2;
// Anything else, including a slot id of 0 (refused at once, inside the request call).
const unsigned int kSavegameFailed = 3;

class SavegameInfo;
class SavegameReader;
class SavegameWriter;

class IGetLoginDetailsListener {
public:
    // userName and cdKey are UTF-8, password is UTF-16; all zero-terminated. The library wipes
    // its copies of password and cdKey when this call returns.
    virtual void OnGetLoginDetails(unsigned int requestId, const char* userName,
                                   const unsigned short* password, const char* cdKey) = 0;

protected:
    ~IGetLoginDetailsListener() {}
};

class IGetHalyxServerListener {
public:
    // pipe is the opened server pipe, now owned by the game, or all bits set on failure. Only
    // names of 1 to 256 ASCII letters, digits, '_', '-' and '.', neither starting nor ending
    // with a dot, are opened.
    virtual void OnGetHalyxServer(unsigned int requestId, PipeHandle pipe) = 0;

protected:
    ~IGetHalyxServerListener() {}
};

class IGetSavegameReaderListener {
public:
    // reader is non-null exactly when result is kSavegameOk; the game then owns it until Close.
    virtual void OnGetSavegameReader(unsigned int requestId, unsigned int result,
                                     SavegameReader* reader) = 0;

protected:
    ~IGetSavegameReaderListener() {}
};

class IGetSavegameWriterListener {
public:
    // writer is non-null exactly when result is kSavegameOk; the game then owns it until Close.
    virtual void OnGetSavegameWriter(unsigned int requestId, unsigned int result,
                                     SavegameWriter* writer) = 0;

protected:
    ~IGetSavegameWriterListener() {}
};

class IGetSavegameListListener {
public:
    // savegames points at count objects that are destroyed when this call returns.
    virtual void OnGetSavegameList(unsigned int requestId, SavegameInfo* savegames,
                                   unsigned int count) = 0;

protected:
    ~IGetSavegameListListener() {}
};

class IRemoveSavegameListener {
public:
    virtual void OnRemoveSavegame(unsigned int requestId, unsigned int result) = 0;

protected:
    ~IRemoveSavegameListener() {}
};

class ISavegameReadListener {
public:
    // Called once the last part of the read has been copied into the game's buffer;
    // byteCount is the size of that last part.
    virtual void OnSavegameRead(unsigned int requestId, unsigned int byteCount) = 0;

protected:
    ~ISavegameReadListener() {}
};

class ISavegameWriteListener {
public:
    // byteCount is the number of bytes the launcher reports as written.
    virtual void OnSavegameWrite(unsigned int requestId, unsigned int byteCount) = 0;

protected:
    ~ISavegameWriteListener() {}
};

// Accepted by GetNetworkTraffic for compatibility; the library never calls it.
class IGetNetworkTrafficListener {
protected:
    ~IGetNetworkTrafficListener() {}
};

}  // namespace halyxdll
}  // namespace kx

#endif  // VELHALYXAPI_R2_LISTENERS_H
