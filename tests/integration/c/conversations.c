/* A game written in C: goes through every conversation with the launcher through the C
   interface alone, printing what it does. Compiled as C89.
   usage: halyx_c_conversations <product id>
   Exit code 0 when every conversation went as expected; the login details it prints are for
   the caller to check (a command line cannot carry UTF-8 text on every platform). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "velhalyxapi_r2_c.h"

#define SLOT 3
#define PART 1000
#define PARTS 3

/* What the callbacks report; the game's thread is the only one touching it. */
struct Results {
    int done;
    int drops;
    uint32_t result;
    uint32_t count;
    char userName[64];
    void* pipe;
    KxHalyxdllCSavegameReader* reader;
    KxHalyxdllCSavegameWriter* writer;
    int listed; /* the slot's entry: 1 when listed with the expected size and name */
};

static const uint16_t kName[] = {'C', ' ', 's', 'a', 'v', 'e', 0x00E9, 0};

static void KXHALYXDLLC_CALL OnLogin(void* context, uint32_t requestId, const char* userName,
                                     const uint16_t* password, const char* cdKey) {
    struct Results* results = (struct Results*)context;
    (void)requestId;
    (void)password;
    (void)cdKey;
    strncpy(results->userName, userName, sizeof results->userName - 1);
    results->done = 1;
}

static void KXHALYXDLLC_CALL OnServer(void* context, uint32_t requestId, void* pipe) {
    struct Results* results = (struct Results*)context;
    (void)requestId;
    results->pipe = pipe;
    results->done = 1;
}

static void KXHALYXDLLC_CALL OnWriter(void* context, uint32_t requestId, uint32_t result,
                                      KxHalyxdllCSavegameWriter* writer) {
    struct Results* results = (struct Results*)context;
    (void)requestId;
    results->result = result;
    results->writer = writer;
    results->done = 1;
}

static void KXHALYXDLLC_CALL OnReader(void* context, uint32_t requestId, uint32_t result,
                                      KxHalyxdllCSavegameReader* reader) {
    struct Results* results = (struct Results*)context;
    (void)requestId;
    results->result = result;
    results->reader = reader;
    results->done = 1;
}

static void KXHALYXDLLC_CALL OnBytes(void* context, uint32_t requestId, uint32_t byteCount) {
    struct Results* results = (struct Results*)context;
    (void)requestId;
    results->count += byteCount;
    results->done += 1;
}

static void KXHALYXDLLC_CALL OnList(void* context, uint32_t requestId,
                                    KxHalyxdllCSavegameList* savegames, uint32_t count) {
    struct Results* results = (struct Results*)context;
    uint32_t i;
    (void)requestId;
    results->listed = 0;
    for (i = 0; i < count; ++i) {
        KxHalyxdllCSavegameInfo* info = KxHalyxdllCSavegameListAt(savegames, i);
        if (KxHalyxdllCSavegameInfoGetSavegameId(info) == SLOT) {
            results->listed =
                KxHalyxdllCSavegameInfoGetSize(info) == PART * PARTS &&
                memcmp(KxHalyxdllCSavegameInfoGetName(info), kName, sizeof kName) == 0;
        }
    }
    results->count = count;
    results->done = 1;
}

static void KXHALYXDLLC_CALL OnRemove(void* context, uint32_t requestId, uint32_t result) {
    struct Results* results = (struct Results*)context;
    (void)requestId;
    results->result = result;
    results->done = 1;
}

static void KXHALYXDLLC_CALL OnDropped(void* context, uint32_t requestId) {
    struct Results* results = (struct Results*)context;
    (void)requestId;
    results->drops += 1;
}

/* Calls Update until `count` callbacks have run or 30 seconds have passed. */
static int Pump(KxHalyxdllCSession* session, struct Results* results, int count) {
    const time_t deadline = time(NULL) + 30;
    while (results->done < count && time(NULL) < deadline) KxHalyxdllCUpdate(session);
    return results->done >= count;
}

static int Fail(const char* what) {
    printf("FAILED: %s\n", what);
    return 1;
}

int main(int argc, char** argv) {
    KxHalyxdllCSession* session;
    struct Results results;
    unsigned char data[PART * PARTS];
    unsigned char back[PART * PARTS];
    uint32_t product;
    int i;

    if (argc != 2) return Fail("usage: halyx_c_conversations <product id>");
    product = (uint32_t)strtoul(argv[1], NULL, 10);
    for (i = 0; i < PART * PARTS; ++i) data[i] = (unsigned char)(i * 7 + i / 256);
    memset(&results, 0, sizeof results);
    session = KxHalyxdllCCreateSession();
    if (session == NULL) return Fail("no session");
    KxHalyxdllCSetDroppedCallback(session, &OnDropped);

    /* The server pipe; the first request also opens the launcher connection. */
    KxHalyxdllCGetHalyxServer(session, KxHalyxdllCGetRequestUniqueId(session), &OnServer, &results,
                              product, 0);
    if (!Pump(session, &results, 1) || results.pipe == (void*)~(size_t)0)
        return Fail("server pipe");
    printf("server pipe: opened\n");

    memset(&results, 0, sizeof results);
    KxHalyxdllCGetLoginDetails(session, KxHalyxdllCGetRequestUniqueId(session), &OnLogin, &results);
    if (!Pump(session, &results, 1)) return Fail("login details");
    printf("login details: user %s\n", results.userName);

    memset(&results, 0, sizeof results);
    KxHalyxdllCGetSavegameWriter(session, KxHalyxdllCGetRequestUniqueId(session), &OnWriter,
                                 &results, product, SLOT, 1);
    if (!Pump(session, &results, 1) || results.result != 0) return Fail("open for writing");
    KxHalyxdllCSavegameWriterSetName(results.writer, kName);
    results.done = 0;
    for (i = 0; i < PARTS; ++i) {
        KxHalyxdllCSavegameWriterWrite(results.writer, KxHalyxdllCGetRequestUniqueId(session),
                                       &OnBytes, &results, data + i * PART, PART);
    }
    if (!Pump(session, &results, PARTS) || results.count != PART * PARTS) return Fail("write");
    KxHalyxdllCSavegameWriterClose(results.writer, 1);
    printf("savegame written: slot %d, %d bytes in %d writes\n", SLOT, PART * PARTS, PARTS);

    memset(&results, 0, sizeof results);
    KxHalyxdllCGetSavegameList(session, KxHalyxdllCGetRequestUniqueId(session), &OnList, &results,
                               product);
    if (!Pump(session, &results, 1) || !results.listed) return Fail("list");
    printf("savegame listed: %u savegame(s), slot %d with its name and size\n",
           (unsigned)results.count, SLOT);

    memset(&results, 0, sizeof results);
    KxHalyxdllCGetSavegameReader(session, KxHalyxdllCGetRequestUniqueId(session), &OnReader,
                                 &results, product, SLOT);
    if (!Pump(session, &results, 1) || results.result != 0) return Fail("open for reading");
    results.done = 0;
    for (i = 0; i < PARTS; ++i) {
        KxHalyxdllCSavegameReaderRead(results.reader, KxHalyxdllCGetRequestUniqueId(session),
                                      &OnBytes, &results, (uint32_t)(i * PART), back + i * PART,
                                      PART);
    }
    if (!Pump(session, &results, PARTS) || memcmp(back, data, sizeof data) != 0)
        return Fail("read back");
    KxHalyxdllCSavegameReaderClose(results.reader);
    printf("savegame read back in %d parts: identical\n", PARTS);

    memset(&results, 0, sizeof results);
    KxHalyxdllCRemoveSavegame(session, KxHalyxdllCGetRequestUniqueId(session), &OnRemove, &results,
                              product, SLOT);
    if (!Pump(session, &results, 1) || results.result != 0) return Fail("remove");
    memset(&results, 0, sizeof results);
    KxHalyxdllCGetSavegameList(session, KxHalyxdllCGetRequestUniqueId(session), &OnList, &results,
                               product);
    if (!Pump(session, &results, 1) || results.listed) return Fail("list after removing");
    printf("savegame removed: no longer listed\n");

    KxHalyxdllCDestroySession(session);
    if (results.drops != 0) return Fail("requests were dropped");
    printf("all conversations done\n");
    return 0;
}
