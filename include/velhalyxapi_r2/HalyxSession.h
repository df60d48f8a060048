#ifndef VELHALYXAPI_R2_HALYXSESSION_H
#define VELHALYXAPI_R2_HALYXSESSION_H

#include "velhalyxapi_r2/Export.h"
#include "velhalyxapi_r2/Listeners.h"
#include "velhalyxapi_r2/SavegameHandles.h"

namespace kx {
namespace halyxdll {

// The game's entry to the launcher. Holds no data: every facade acts on the one session state
// of the process. The first facade constructed creates that state; destroying any facade
// destroys it (using another facade afterwards, before a new one is constructed, is a
// programming error). All calls, and all listener calls, happen on the game's thread.
//
// Requests return at once. A request refused at once calls its listener before returning;
// every other result reaches its listener inside a later Update.
class VELHALYX_API HalyxSession {
public:
    // Creates the session state if none exists. Opens no connection.
    HalyxSession();
    // Destroys the session state; pending listeners are never called.
    ~HalyxSession();

    // Delivers the launcher's answers to their listeners. Call it regularly (every frame).
    void Update();
    // The next request id: 1 for the first call in the life of a session state, then 2, 3, ...
    unsigned int GetRequestUniqueId();

    void GetLoginDetails(unsigned int requestId, IGetLoginDetailsListener* listener);
    // Connects to the launcher if needed; without a launcher the listener gets the invalid
    // handle at once.
    void GetHalyxServer(unsigned int requestId, IGetHalyxServerListener* listener,
                        unsigned int productId, unsigned int subProductId);
    // Slot id 0 is refused at once with kSavegameFailed.
    void GetSavegameReader(unsigned int requestId, IGetSavegameReaderListener* listener,
                           unsigned int productId, unsigned int slotId);
    // Slot id 0 is refused at once with kSavegameFailed.
    void GetSavegameWriter(unsigned int requestId, IGetSavegameWriterListener* listener,
                           unsigned int productId, unsigned int slotId, bool overwriteExisting);
    void GetSavegameList(unsigned int requestId, IGetSavegameListListener* listener,
                         unsigned int productId);
    // Slot id 0 is refused at once with kSavegameFailed.
    void RemoveSavegame(unsigned int requestId, IRemoveSavegameListener* listener,
                        unsigned int productId, unsigned int slotId);
    // Does nothing: nothing is sent and the listener is never called.
    void GetNetworkTraffic(unsigned int requestId, IGetNetworkTrafficListener* listener);
    // The localized text (UTF-16) for key (UTF-16) in languageCode (1 to 16 ASCII letters,
    // digits, '-' and '_'); never null, empty when unknown or when the code has another form.
    // Valid until the next GetLocText call or the end of the session state.
    const unsigned short* GetLocText(const unsigned short* key, const char* languageCode);

private:
    HalyxSession(const HalyxSession&) = delete;
    HalyxSession& operator=(const HalyxSession&) = delete;
};

}  // namespace halyxdll
}  // namespace kx

#endif  // VELHALYXAPI_R2_HALYXSESSION_H
