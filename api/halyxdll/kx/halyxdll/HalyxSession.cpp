#include "velhalyxapi_r2/HalyxSession.h"

#include "kx/common/Contract.h"
#include "kx/halyxdll/CallGuard.h"
#include "kx/halyxdll/halyxdll_internal.h"

namespace kx {
namespace halyxdll {

namespace {
// The session state every facade method acts on; a facade used after the state was destroyed
// is a programming error of the game.
HalyxSessionData& Session() {
    HalyxSessionData* session = HalyxSessionData::Current();
    KX_CHECK(session != nullptr);
    return *session;
}
}  // namespace

HalyxSession::HalyxSession() {
    GuardCall([] { HalyxSessionData::CreateIfAbsent(); });
}

HalyxSession::~HalyxSession() {
    HalyxSessionData::Destroy();
}

void HalyxSession::Update() {
    GuardCall([&] { Session().Update(); });
}

unsigned int HalyxSession::GetRequestUniqueId() {
    return Session().GetRequestUniqueId();
}

void HalyxSession::GetLoginDetails(unsigned int requestId, IGetLoginDetailsListener* listener) {
    GuardCall([&] { Session().GetLoginDetails(requestId, listener); });
}

void HalyxSession::GetHalyxServer(unsigned int requestId, IGetHalyxServerListener* listener,
                                  unsigned int productId, unsigned int subProductId) {
    GuardCall([&] { Session().GetHalyxServer(requestId, listener, productId, subProductId); });
}

void HalyxSession::GetSavegameReader(unsigned int requestId, IGetSavegameReaderListener* listener,
                                     unsigned int productId, unsigned int slotId) {
    GuardCall([&] { Session().GetSavegameReader(requestId, listener, productId, slotId); });
}

void HalyxSession::GetSavegameWriter(unsigned int requestId, IGetSavegameWriterListener* listener,
                                     unsigned int productId, unsigned int slotId,
                                     bool overwriteExisting) {
    GuardCall([&] {
        Session().GetSavegameWriter(requestId, listener, productId, slotId, overwriteExisting);
    });
}

void HalyxSession::GetSavegameList(unsigned int requestId, IGetSavegameListListener* listener,
                                   unsigned int productId) {
    GuardCall([&] { Session().GetSavegameList(requestId, listener, productId); });
}

void HalyxSession::RemoveSavegame(unsigned int requestId, IRemoveSavegameListener* listener,
                                  unsigned int productId, unsigned int slotId) {
    GuardCall([&] { Session().RemoveSavegame(requestId, listener, productId, slotId); });
}

void HalyxSession::GetNetworkTraffic(unsigned int, IGetNetworkTrafficListener*) {
    Session();
}

const unsigned short* HalyxSession::GetLocText(const unsigned short* key,
                                               const char* languageCode) {
    static const unsigned short kEmpty[1] = {0};
    return GuardCall(kEmpty, [&] { return Session().GetLocText(key, languageCode); });
}

}  // namespace halyxdll
}  // namespace kx
