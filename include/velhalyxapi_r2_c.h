#ifndef VELHALYXAPI_R2_C_H
#define VELHALYXAPI_R2_C_H

/*
 * The launcher client library for C and for every language that calls C functions (C# through
 * P/Invoke, Python through ctypes, Rust, ...). Pure C: compiles as C89, C99 and C++.
 *
 * Every name here starts with KxHalyxdllC: the prefix of the library's plain exports
 * (KxHalyxdll, see velhalyxapi_r2/KxHalyxdll.h) followed by C, for "callback". Each request
 * takes a callback function and a context pointer where the C++ interface takes a listener
 * object, and every other function of the session and of the savegame handles has its
 * counterpart here, so a C game needs this header alone. The two interfaces act on the same
 * session state and the same handles; they may be mixed.
 *
 * Calling convention: the platform's C default (cdecl) for the functions and for the callbacks,
 * stated explicitly on Windows so that a game compiled with another default still matches.
 *
 * Threads: call everything on the game's thread. Callbacks run on that thread too: inside the
 * request for results known at once (a refusal), otherwise inside KxHalyxdllCUpdate.
 *
 * Requests: each takes `requestId` (any value; KxHalyxdllCGetRequestUniqueId hands out fresh
 * ones), a callback, which may be NULL when the result does not matter, and `context`, handed
 * back untouched. For every request with a callback exactly one of these happens:
 *  - its callback runs once; or
 *  - the library forgets the request without running the callback: a newer request of the same
 *    kind under the same request id replaced it, the launcher connection that carried it was
 *    lost, or the session was destroyed. The dropped callback of the session (see
 *    KxHalyxdllCSetDroppedCallback) then runs once with the request's context and id, so that
 *    bindings can release what they keep alive for the request.
 * Texts keep the library's encodings: UTF-8 in char, UTF-16 in uint16_t, zero-terminated.
 * Pointers passed into a callback are valid only during the call. Result codes: 0 success,
 * 1 not found (for writing: overwrite refused), 2 slot locked, 3 failed or slot id 0.
 */

#include <stdint.h>

#if defined(_WIN32)
#if defined(VELHALYX_BUILDING_LIBRARY)
#define KXHALYXDLLC_API __declspec(dllexport)
#else
#define KXHALYXDLLC_API __declspec(dllimport)
#endif
#define KXHALYXDLLC_CALL __cdecl
#else
#define KXHALYXDLLC_API __attribute__((visibility("default")))
#define KXHALYXDLLC_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque handles. A session handle stands for the one session state of the process. */
typedef struct KxHalyxdllCSession KxHalyxdllCSession;
/* A savegame open for reading; owned by the game from its callback until Close. */
typedef struct KxHalyxdllCSavegameReader KxHalyxdllCSavegameReader;
/* A savegame slot open for writing; owned by the game from its callback until Close. */
typedef struct KxHalyxdllCSavegameWriter KxHalyxdllCSavegameWriter;
/* The savegames of one list answer, and one of them; valid during the list callback only. */
typedef struct KxHalyxdllCSavegameList KxHalyxdllCSavegameList;
typedef struct KxHalyxdllCSavegameInfo KxHalyxdllCSavegameInfo;

/* The callbacks, one per kind of request. */

/* userName and cdKey are UTF-8, password UTF-16; the library wipes its copies of password and
   cdKey when the callback returns. */
typedef void(KXHALYXDLLC_CALL* KxHalyxdllCLoginDetailsCallback)(void* context, uint32_t requestId,
                                                                const char* userName,
                                                                const uint16_t* password,
                                                                const char* cdKey);
/* pipe is the opened server pipe, now owned by the game (a HANDLE on Windows, a file descriptor
   on POSIX), or all bits set on failure. */
typedef void(KXHALYXDLLC_CALL* KxHalyxdllCHalyxServerCallback)(void* context, uint32_t requestId,
                                                               void* pipe);
/* reader is non-NULL exactly when result is 0. */
typedef void(KXHALYXDLLC_CALL* KxHalyxdllCSavegameReaderCallback)(
    void* context, uint32_t requestId, uint32_t result, KxHalyxdllCSavegameReader* reader);
/* writer is non-NULL exactly when result is 0. */
typedef void(KXHALYXDLLC_CALL* KxHalyxdllCSavegameWriterCallback)(
    void* context, uint32_t requestId, uint32_t result, KxHalyxdllCSavegameWriter* writer);
/* count savegames, reached with KxHalyxdllCSavegameListAt. */
typedef void(KXHALYXDLLC_CALL* KxHalyxdllCSavegameListCallback)(void* context, uint32_t requestId,
                                                                KxHalyxdllCSavegameList* savegames,
                                                                uint32_t count);
typedef void(KXHALYXDLLC_CALL* KxHalyxdllCRemoveSavegameCallback)(void* context, uint32_t requestId,
                                                                  uint32_t result);
/* Runs once the last part of a read is in the game's buffer; byteCount is that part's size. */
typedef void(KXHALYXDLLC_CALL* KxHalyxdllCSavegameReadCallback)(void* context, uint32_t requestId,
                                                                uint32_t byteCount);
/* byteCount is the number of bytes the launcher reports as written. */
typedef void(KXHALYXDLLC_CALL* KxHalyxdllCSavegameWriteCallback)(void* context, uint32_t requestId,
                                                                 uint32_t byteCount);
/* A request whose callback will never run (see above). It must not destroy the session, and
   while the session is being destroyed it must not call the library at all. */
typedef void(KXHALYXDLLC_CALL* KxHalyxdllCDroppedCallback)(void* context, uint32_t requestId);

/* The session. */

/* Creates the session state unless one exists and returns a handle to it; NULL when memory
   runs out. Opens no connection. */
KXHALYXDLLC_API KxHalyxdllCSession* KXHALYXDLLC_CALL KxHalyxdllCCreateSession(void);
/* Destroys the session state and this handle; pending requests are dropped (see above). */
KXHALYXDLLC_API void KXHALYXDLLC_CALL KxHalyxdllCDestroySession(KxHalyxdllCSession* session);
/* Sets the callback told about the dropped requests among the later requests of the session
   state (through any handle, and of its savegame handles); NULL for none, the default, to
   which destroying the session returns. */
KXHALYXDLLC_API void KXHALYXDLLC_CALL
KxHalyxdllCSetDroppedCallback(KxHalyxdllCSession* session, KxHalyxdllCDroppedCallback dropped);
/* Runs the callbacks of the answers that have arrived. Call it regularly (every frame). */
KXHALYXDLLC_API void KXHALYXDLLC_CALL KxHalyxdllCUpdate(KxHalyxdllCSession* session);
/* The next request id: 1 for the first call in the life of a session state, then 2, 3, ... */
KXHALYXDLLC_API uint32_t KXHALYXDLLC_CALL
KxHalyxdllCGetRequestUniqueId(KxHalyxdllCSession* session);
/* The localized text (UTF-16) of key (UTF-16) in languageCode (1 to 16 ASCII letters, digits,
   '-' and '_'); never NULL, empty when unknown. Valid until the next call or the session's end. */
KXHALYXDLLC_API const uint16_t* KXHALYXDLLC_CALL KxHalyxdllCGetLocText(KxHalyxdllCSession* session,
                                                                       const uint16_t* key,
                                                                       const char* languageCode);

/* The requests. */

KXHALYXDLLC_API void KXHALYXDLLC_CALL
KxHalyxdllCGetLoginDetails(KxHalyxdllCSession* session, uint32_t requestId,
                           KxHalyxdllCLoginDetailsCallback callback, void* context);
/* Connects to the launcher if needed; without a launcher the callback gets the invalid pipe at
   once. */
KXHALYXDLLC_API void KXHALYXDLLC_CALL KxHalyxdllCGetHalyxServer(
    KxHalyxdllCSession* session, uint32_t requestId, KxHalyxdllCHalyxServerCallback callback,
    void* context, uint32_t productId, uint32_t subProductId);
/* Slot id 0 is refused at once with result 3. */
KXHALYXDLLC_API void KXHALYXDLLC_CALL KxHalyxdllCGetSavegameReader(
    KxHalyxdllCSession* session, uint32_t requestId, KxHalyxdllCSavegameReaderCallback callback,
    void* context, uint32_t productId, uint32_t slotId);
/* Slot id 0 is refused at once with result 3. overwriteExisting: 0 or 1. */
KXHALYXDLLC_API void KXHALYXDLLC_CALL KxHalyxdllCGetSavegameWriter(
    KxHalyxdllCSession* session, uint32_t requestId, KxHalyxdllCSavegameWriterCallback callback,
    void* context, uint32_t productId, uint32_t slotId, int overwriteExisting);
KXHALYXDLLC_API void KXHALYXDLLC_CALL KxHalyxdllCGetSavegameList(
    KxHalyxdllCSession* session, uint32_t requestId, KxHalyxdllCSavegameListCallback callback,
    void* context, uint32_t productId);
/* Slot id 0 is refused at once with result 3. */
KXHALYXDLLC_API void KXHALYXDLLC_CALL KxHalyxdllCRemoveSavegame(
    KxHalyxdllCSession* session, uint32_t requestId, KxHalyxdllCRemoveSavegameCallback callback,
    void* context, uint32_t productId, uint32_t slotId);
/* Asks for byteCount bytes at offset; they arrive in destination during later Update calls.
   Keep destination (byteCount bytes) valid until the callback runs or the request is dropped. */
KXHALYXDLLC_API void KXHALYXDLLC_CALL KxHalyxdllCSavegameReaderRead(
    KxHalyxdllCSavegameReader* reader, uint32_t requestId, KxHalyxdllCSavegameReadCallback callback,
    void* context, uint32_t offset, void* destination, uint32_t byteCount);
/* Appends byteCount bytes, copied before this returns. Over 64 MiB less 64 bytes, or too little
   memory to copy them, the callback gets 0 bytes at once and nothing is sent. */
KXHALYXDLLC_API void KXHALYXDLLC_CALL KxHalyxdllCSavegameWriterWrite(
    KxHalyxdllCSavegameWriter* writer, uint32_t requestId,
    KxHalyxdllCSavegameWriteCallback callback, void* context, const void* data, uint32_t byteCount);

/* The savegame handles. */

/* Tells the launcher the savegame is no longer read and destroys the reader. */
KXHALYXDLLC_API void KXHALYXDLLC_CALL
KxHalyxdllCSavegameReaderClose(KxHalyxdllCSavegameReader* reader);
/* Sets the display name (UTF-16, at most 255 units); 1 when set, 0 when refused. */
KXHALYXDLLC_API int KXHALYXDLLC_CALL
KxHalyxdllCSavegameWriterSetName(KxHalyxdllCSavegameWriter* writer, const uint16_t* name);
/* Ends the writing: the launcher keeps what was written when persist is 1, else discards it.
   Destroys the writer. */
KXHALYXDLLC_API void KXHALYXDLLC_CALL
KxHalyxdllCSavegameWriterClose(KxHalyxdllCSavegameWriter* writer, int persist);
/* Savegame `index` (below the callback's count) of a list. */
KXHALYXDLLC_API KxHalyxdllCSavegameInfo* KXHALYXDLLC_CALL
KxHalyxdllCSavegameListAt(KxHalyxdllCSavegameList* savegames, uint32_t index);
/* The display name (UTF-16). */
KXHALYXDLLC_API const uint16_t* KXHALYXDLLC_CALL
KxHalyxdllCSavegameInfoGetName(KxHalyxdllCSavegameInfo* info);
/* The product id of the list request. */
KXHALYXDLLC_API uint32_t KXHALYXDLLC_CALL
KxHalyxdllCSavegameInfoGetProductId(KxHalyxdllCSavegameInfo* info);
/* The slot id. */
KXHALYXDLLC_API uint32_t KXHALYXDLLC_CALL
KxHalyxdllCSavegameInfoGetSavegameId(KxHalyxdllCSavegameInfo* info);
/* The size in bytes as the launcher reported it. */
KXHALYXDLLC_API uint32_t KXHALYXDLLC_CALL
KxHalyxdllCSavegameInfoGetSize(KxHalyxdllCSavegameInfo* info);

#ifdef __cplusplus
}
#endif

#endif /* VELHALYXAPI_R2_C_H */
