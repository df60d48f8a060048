#ifndef VELHALYXAPI_R2_KXHALYXDLL_H
#define VELHALYXAPI_R2_KXHALYXDLL_H

#include "velhalyxapi_r2/Export.h"
#include "velhalyxapi_r2/HalyxSession.h"
#include "velhalyxapi_r2/Listeners.h"
#include "velhalyxapi_r2/SavegameHandles.h"

// Plain exports with undecorated names and the platform's default calling convention: the
// interface for games built with any compiler. Each function does exactly what the method of
// the same name does (see HalyxSession.h and SavegameHandles.h). Handles must not be null.

extern "C" {

// A new facade on every call; none is ever released.
VELHALYX_API kx::halyxdll::HalyxSession* KxHalyxdllGetSession();
// Offers no session: returns null. Do not call it.
VELHALYX_API kx::halyxdll::HalyxSession* KxHalyxdllGetFakeSession();

VELHALYX_API void KxHalyxdllUpdate(kx::halyxdll::HalyxSession* session);
VELHALYX_API unsigned int KxHalyxdllGetRequestUniqueId(kx::halyxdll::HalyxSession* session);
VELHALYX_API void KxHalyxdllGetLoginDetails(kx::halyxdll::HalyxSession* session,
                                            unsigned int requestId,
                                            kx::halyxdll::IGetLoginDetailsListener* listener);
VELHALYX_API void KxHalyxdllGetHalyxServer(kx::halyxdll::HalyxSession* session,
                                           unsigned int requestId,
                                           kx::halyxdll::IGetHalyxServerListener* listener,
                                           unsigned int productId, unsigned int subProductId);
VELHALYX_API void KxHalyxdllGetSavegameReader(kx::halyxdll::HalyxSession* session,
                                              unsigned int requestId,
                                              kx::halyxdll::IGetSavegameReaderListener* listener,
                                              unsigned int productId, unsigned int slotId);
VELHALYX_API void KxHalyxdllGetSavegameWriter(kx::halyxdll::HalyxSession* session,
                                              unsigned int requestId,
                                              kx::halyxdll::IGetSavegameWriterListener* listener,
                                              unsigned int productId, unsigned int slotId,
                                              bool overwriteExisting);
VELHALYX_API void KxHalyxdllGetSavegameList(kx::halyxdll::HalyxSession* session,
                                            unsigned int requestId,
                                            kx::halyxdll::IGetSavegameListListener* listener,
                                            unsigned int productId);
VELHALYX_API void KxHalyxdllRemoveSavegame(kx::halyxdll::HalyxSession* session,
                                           unsigned int requestId,
                                           kx::halyxdll::IRemoveSavegameListener* listener,
                                           unsigned int productId, unsigned int slotId);
VELHALYX_API void KxHalyxdllGetNetworkTraffic(kx::halyxdll::HalyxSession* session,
                                              unsigned int requestId,
                                              kx::halyxdll::IGetNetworkTrafficListener* listener);
VELHALYX_API const unsigned short* KxHalyxdllGetLocText(kx::halyxdll::HalyxSession* session,
                                                        const unsigned short* key,
                                                        const char* languageCode);

VELHALYX_API void KxHalyxdllSaveGameReaderRead(kx::halyxdll::SavegameReader* reader,
                                               unsigned int requestId,
                                               kx::halyxdll::ISavegameReadListener* listener,
                                               unsigned int offset, void* destination,
                                               unsigned int byteCount);
VELHALYX_API void KxHalyxdllSaveGameReaderClose(kx::halyxdll::SavegameReader* reader);
VELHALYX_API bool KxHalyxdllSaveGameWriterSetName(kx::halyxdll::SavegameWriter* writer,
                                                  const unsigned short* name);
VELHALYX_API void KxHalyxdllSaveGameWriterWrite(kx::halyxdll::SavegameWriter* writer,
                                                unsigned int requestId,
                                                kx::halyxdll::ISavegameWriteListener* listener,
                                                const void* data, unsigned int byteCount);
VELHALYX_API void KxHalyxdllSaveGameWriterClose(kx::halyxdll::SavegameWriter* writer,
                                                bool persist);
VELHALYX_API const unsigned short* KxHalyxdllSaveGameInfoGetName(kx::halyxdll::SavegameInfo* info);
VELHALYX_API unsigned int KxHalyxdllSaveGameInfoGetProductId(kx::halyxdll::SavegameInfo* info);
VELHALYX_API unsigned int KxHalyxdllSaveGameInfoGetSavegameId(kx::halyxdll::SavegameInfo* info);
VELHALYX_API unsigned int KxHalyxdllSaveGameInfoGetSize(kx::halyxdll::SavegameInfo* info);

}  // extern "C"

#endif  // VELHALYXAPI_R2_KXHALYXDLL_H
