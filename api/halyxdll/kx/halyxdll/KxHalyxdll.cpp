#include "velhalyxapi_r2/KxHalyxdll.h"

#include "kx/common/Contract.h"

using kx::halyxdll::HalyxSession;

HalyxSession* KxHalyxdllGetSession() { return new HalyxSession(); }

HalyxSession* KxHalyxdllGetFakeSession() { return nullptr; }

unsigned int KxHalyxdllGetRequestUniqueId(HalyxSession* session) {
    KX_CHECK(session != nullptr);
    return session->GetRequestUniqueId();
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
