#include "velhalyxapi_r2/HalyxSession.h"

#include "kx/common/Contract.h"
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

HalyxSession::HalyxSession() { HalyxSessionData::CreateIfAbsent(); }

HalyxSession::~HalyxSession() { HalyxSessionData::Destroy(); }

unsigned int HalyxSession::GetRequestUniqueId() { return Session().GetRequestUniqueId(); }

void HalyxSession::GetNetworkTraffic(unsigned int, IGetNetworkTrafficListener*) { Session(); }

const unsigned short* HalyxSession::GetLocText(const unsigned short* key,
                                               const char* languageCode) {
    return Session().GetLocText(key, languageCode);
}

}  // namespace halyxdll
}  // namespace kx
