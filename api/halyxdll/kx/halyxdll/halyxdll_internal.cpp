#include "kx/halyxdll/halyxdll_internal.h"

namespace kx {
namespace halyxdll {

namespace {
// The process-wide reference; touched on the game's thread only.
HalyxSessionData* g_session = nullptr;
}  // namespace

HalyxSessionData* HalyxSessionData::Current() { return g_session; }

void HalyxSessionData::CreateIfAbsent() {
    if (g_session == nullptr) g_session = new HalyxSessionData();
}

void HalyxSessionData::Destroy() {
    delete g_session;
    g_session = nullptr;
}

unsigned int HalyxSessionData::GetRequestUniqueId() { return ++requestIdCounter_; }

}  // namespace halyxdll
}  // namespace kx
