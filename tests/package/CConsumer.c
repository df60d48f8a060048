/* A C89 game built against the installed C header alone: a request refused at once reaches its
   callback inside the call. Exit code 0 when it did. */
#include <velhalyxapi_r2_c.h>

static void KXHALYXDLLC_CALL OnReader(void* context, uint32_t requestId, uint32_t result,
                                      KxHalyxdllCSavegameReader* reader) {
    *(uint32_t*)context = reader == 0 && requestId == 1 ? result : 99;
}

int main(void) {
    uint32_t result = 0;
    KxHalyxdllCSession* session = KxHalyxdllCCreateSession();
    if (session == 0) return 1;
    KxHalyxdllCGetSavegameReader(session, KxHalyxdllCGetRequestUniqueId(session), &OnReader,
                                 &result, 7, 0);
    KxHalyxdllCDestroySession(session);
    return result == 3 ? 0 : 2;
}
