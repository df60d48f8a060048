#pragma once

#include "kx/common/HashTable.h"
#include "kx/common/HybridArray.h"
#include "kx/common/LocalizationCache.h"
#include "velhalyxapi_r2/Listeners.h"

namespace kx {
namespace halyxdll {

// A list request held back while closed writers wait for their stop-write answers.
struct DelayedGetSavegameList {
    unsigned int requestId = 0;
    IGetSavegameListListener* listener = nullptr;  // may be null
    unsigned int productId = 0;
};

// The one session state of the process behind every HalyxSession facade: the tables of
// listeners waiting for answers, keyed by the game's request id, and the request-id counter.
// Used on the game's thread only; nothing here locks.
class HalyxSessionData {
public:
    // The session state of the process, or null while no facade has created one.
    static HalyxSessionData* Current();
    // Creates the session state unless one exists. Opens no connection.
    static void CreateIfAbsent();
    // Destroys the session state, if any; no pending listener is called.
    static void Destroy();

    // Increments the request-id counter and returns it: 1 first, wrapping modulo 2^32.
    unsigned int GetRequestUniqueId();

    // The text of `key` in `languageCode` from the launcher's localization files, each read at
    // most once per session state (see LocalizationCache::GetLocText). Never null; valid until
    // the next call or the end of the session state.
    const unsigned short* GetLocText(const unsigned short* key, const char* languageCode) {
        return localizations_.GetLocText(key, languageCode);
    }

private:
    HalyxSessionData() = default;
    ~HalyxSessionData() = default;
    HalyxSessionData(const HalyxSessionData&) = delete;
    HalyxSessionData& operator=(const HalyxSessionData&) = delete;

    template <typename Listener>
    using PendingTable = common::HashTable<unsigned int, Listener*>;

    PendingTable<IGetLoginDetailsListener> loginDetailsListeners_;
    PendingTable<IGetHalyxServerListener> serverListeners_;
    PendingTable<IGetSavegameReaderListener> readerListeners_;
    PendingTable<IGetSavegameWriterListener> writerListeners_;
    PendingTable<ISavegameReadListener> readListeners_;
    PendingTable<ISavegameWriteListener> writeListeners_;
    PendingTable<IGetSavegameListListener> listListeners_;
    PendingTable<IRemoveSavegameListener> removeListeners_;
    PendingTable<IGetNetworkTrafficListener> networkTrafficListeners_;  // never filled
    common::HybridArray<DelayedGetSavegameList, 0> delayedLists_;
    common::HashTable<unsigned int, unsigned char*> readDestinations_;
    unsigned int requestIdCounter_ = 0;
    common::LocalizationCache localizations_;
};

}  // namespace halyxdll
}  // namespace kx
