#include "velhalyxapi_r2/KxHalyxdll.h"

#include "kx/common/Contract.h"

using kx::halyxdll::HalyxSession;
using kx::halyxdll::SavegameInfo;
using kx::halyxdll::SavegameReader;
using kx::halyxdll::SavegameWriter;

HalyxSession* KxHalyxdllGetSession() {
    return new HalyxSession();
}

HalyxSession* KxHalyxdllGetFakeSession() {
    return nullptr;
}

void KxHalyxdllUpdate(HalyxSession* session) {
    KX_CHECK(session != nullptr);
    session->Update();
}

unsigned int KxHalyxdllGetRequestUniqueId(HalyxSession* session) {
    KX_CHECK(session != nullptr);
    return session->GetRequestUniqueId();
}

void KxHalyxdllGetLoginDetails(HalyxSession* session, unsigned int requestId,
                               kx::halyxdll::IGetLoginDetailsListener* listener) {
    KX_CHECK(session != nullptr);
    session->GetLoginDetails(requestId, listener);
}

void KxHalyxdllGetHalyxServer(HalyxSession* session, unsigned int requestId,
                              kx::halyxdll::IGetHalyxServerListener* listener,
                              unsigned int productId, unsigned int subProductId) {
    KX_CHECK(session != nullptr);
    session->GetHalyxServer(requestId, listener, productId, subProductId);
}

void KxHalyxdllGetSavegameReader(HalyxSession* session, unsigned int requestId,
                                 kx::halyxdll::IGetSavegameReaderListener* listener,
                                 unsigned int productId, unsigned int slotId) {
    KX_CHECK(session != nullptr);
    session->GetSavegameReader(requestId, listener, productId, slotId);
}

void KxHalyxdllGetSavegameWriter(HalyxSession* session, unsigned int requestId,
                                 kx::halyxdll::IGetSavegameWriterListener* listener,
                                 unsigned int productId, unsigned int slotId,
                                 bool overwriteExisting) {
    KX_CHECK(session != nullptr);
    session->GetSavegameWriter(requestId, listener, productId, slotId, overwriteExisting);
}

void KxHalyxdllGetSavegameList(HalyxSession* session, unsigned int requestId,
                               kx::halyxdll::IGetSavegameListListener* listener,
                               unsigned int productId) {
    KX_CHECK(session != nullptr);
    session->GetSavegameList(requestId, listener, productId);
}

void KxHalyxdllRemoveSavegame(HalyxSession* session, unsigned int requestId,
                              kx::halyxdll::IRemoveSavegameListener* listener,
                              unsigned int productId, unsigned int slotId) {
    KX_CHECK(session != nullptr);
    session->RemoveSavegame(requestId, listener, productId, slotId);
}

void KxHalyxdllGetNetworkTraffic(HalyxSession* session, unsigned int requestId,
                                 kx::halyxdll::IGetNetworkTrafficListener* listener) {
    KX_CHECK(session != nullptr);
    session->GetNetworkTraffic(requestId, listener);
}

const unsigned short* KxHalyxdllGetLocText(HalyxSession* session, const unsigned short* key,
                                           const char* languageCode) {
    KX_CHECK(session != nullptr);
    return session->GetLocText(key, languageCode);
}

void KxHalyxdllSaveGameReaderRead(SavegameReader* reader, unsigned int requestId,
                                  kx::halyxdll::ISavegameReadListener* listener,
                                  unsigned int offset, void* destination, unsigned int byteCount) {
    KX_CHECK(reader != nullptr);
    reader->Read(requestId, listener, offset, destination, byteCount);
}

void KxHalyxdllSaveGameReaderClose(SavegameReader* reader) {
    KX_CHECK(reader != nullptr);
    reader->Close();
}

bool KxHalyxdllSaveGameWriterSetName(SavegameWriter* writer, const unsigned short* name) {
    KX_CHECK(writer != nullptr);
    return writer->SetName(name);
}

void KxHalyxdllSaveGameWriterWrite(SavegameWriter* writer, unsigned int requestId,
                                   kx::halyxdll::ISavegameWriteListener* listener, const void* data,
                                   unsigned int byteCount) {
    KX_CHECK(writer != nullptr);
    writer->Write(requestId, listener, data, byteCount);
}

void KxHalyxdllSaveGameWriterClose(SavegameWriter* writer, bool persist) {
    KX_CHECK(writer != nullptr);
    writer->Close(persist);
}

const unsigned short* KxHalyxdllSaveGameInfoGetName(SavegameInfo* info) {
    KX_CHECK(info != nullptr);
    return info->GetName();
}

unsigned int KxHalyxdllSaveGameInfoGetProductId(SavegameInfo* info) {
    KX_CHECK(info != nullptr);
    return info->GetProductId();
}

unsigned int KxHalyxdllSaveGameInfoGetSavegameId(SavegameInfo* info) {
    KX_CHECK(info != nullptr);
    return info->GetSavegameId();
}

unsigned int KxHalyxdllSaveGameInfoGetSize(SavegameInfo* info) {
    KX_CHECK(info != nullptr);
    return info->GetSize();
}
