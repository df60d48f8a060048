#pragma once

#include <string>
#include <vector>

#include "kx/halyxclient/Utf16.h"
#include "velhalyxapi_r2.h"

namespace kx {
namespace halyxclient {

// Listeners that keep what the library delivers and note that it arrived. Called on the main
// thread inside a library call; read there afterwards.

struct ServerListener : halyxdll::IGetHalyxServerListener {
    void OnGetHalyxServer(unsigned int, halyxdll::PipeHandle handle) override {
        pipe = handle;
        done = true;
    }
    halyxdll::PipeHandle pipe = nullptr;
    bool done = false;
};

struct LoginListener : halyxdll::IGetLoginDetailsListener {
    void OnGetLoginDetails(unsigned int, const char* userName, const unsigned short* pass,
                           const char* cdKey) override {
        user = userName;
        password = Utf16ToUtf8(pass);
        key = cdKey;
        done = true;
    }
    std::string user;
    std::string password;
    std::string key;
    bool done = false;
};

// One savegame of a list answer, copied out of the library's short-lived objects.
struct ListedSavegame {
    unsigned int slotId = 0;
    unsigned int size = 0;
    std::string name;
};

struct ListListener : halyxdll::IGetSavegameListListener {
    void OnGetSavegameList(unsigned int, halyxdll::SavegameInfo* infos,
                           unsigned int count) override {
        for (unsigned int i = 0; i < count; ++i) {
            savegames.push_back(
                ListedSavegame{KxHalyxdllSaveGameInfoGetSavegameId(&infos[i]),
                               KxHalyxdllSaveGameInfoGetSize(&infos[i]),
                               Utf16ToUtf8(KxHalyxdllSaveGameInfoGetName(&infos[i]))});
        }
        done = true;
    }
    std::vector<ListedSavegame> savegames;
    bool done = false;
};

struct ReaderListener : halyxdll::IGetSavegameReaderListener {
    void OnGetSavegameReader(unsigned int, unsigned int code,
                             halyxdll::SavegameReader* r) override {
        result = code;
        reader = r;
        done = true;
    }
    unsigned int result = halyxdll::kSavegameOk;
    halyxdll::SavegameReader* reader = nullptr;
    bool done = false;
};

struct WriterListener : halyxdll::IGetSavegameWriterListener {
    void OnGetSavegameWriter(unsigned int, unsigned int code,
                             halyxdll::SavegameWriter* w) override {
        result = code;
        writer = w;
        done = true;
    }
    unsigned int result = halyxdll::kSavegameOk;
    halyxdll::SavegameWriter* writer = nullptr;
    bool done = false;
};

struct ReadListener : halyxdll::ISavegameReadListener {
    void OnSavegameRead(unsigned int, unsigned int byteCount) override {
        lastPart = byteCount;
        done = true;
    }
    unsigned int lastPart = 0;
    bool done = false;
};

struct WriteListener : halyxdll::ISavegameWriteListener {
    void OnSavegameWrite(unsigned int, unsigned int byteCount) override {
        written = byteCount;
        done = true;
    }
    unsigned int written = 0;
    bool done = false;
};

struct RemoveListener : halyxdll::IRemoveSavegameListener {
    void OnRemoveSavegame(unsigned int, unsigned int code) override {
        result = code;
        done = true;
    }
    unsigned int result = halyxdll::kSavegameOk;
    bool done = false;
};

}  // namespace halyxclient
}  // namespace kx
