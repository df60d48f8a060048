#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "HalyxDll.pb.h"
#include "kx/devlauncher/EventLog.h"
#include "kx/devlauncher/LauncherConfig.h"
#include "kx/devlauncher/SavegameStore.h"
#include "kx/devlauncher/SlotLocks.h"

namespace kx {
namespace devlauncher {

// Takes the answers to one client's requests, in order.
class AnswerSink {
public:
    // Sends one answer. Returns false when the connection takes no more answers.
    virtual bool Send(const protocol::halyxdll::Rsp& rsp) = 0;

protected:
    ~AnswerSink() = default;
};

// Savegames one client may write at once unless set otherwise: each pending savegame holds an
// open file.
constexpr std::uint32_t kDefaultMaxWriters = 16;

// What every client session of a launcher shares. Everything referenced must outlive the
// sessions.
struct SessionServices {
    SavegameStore& store;
    SlotLocks& locks;
    const LauncherConfig& config;
    std::map<std::uint32_t, std::string> serverPipes;  // product id -> server pipe name
    std::uint32_t partSize;                            // bytes per read answer, above 0
    EventLog& log;
    std::uint32_t maxWriters = kDefaultMaxWriters;  // open writers per client, above 0
};

// Answers the requests of one connected client: login details, server pipes, and the savegame
// conversations with their slot locks. Data written by the client stays pending until its
// stop-write; the session's end (the client disconnected) discards what is still pending and
// releases the client's locks. A start-write beyond maxWriters open writers fails, and a
// stop-write whose name cannot be stored (IsStorableSavegameName) stores nothing.
//
// Used by the thread of the client's connection only; the store and the locks it shares are
// safe for concurrent sessions.
class ClientSession {
public:
    ClientSession(ClientId client, const SessionServices& services);
    ~ClientSession();
    ClientSession(const ClientSession&) = delete;
    ClientSession& operator=(const ClientSession&) = delete;

    // Handles one request and sends its answers (none for stop-read and for a request without
    // a filled slot, several for a read) to `sink`. Returns false when the sink refused one.
    bool Handle(const protocol::halyxdll::Req& req, AnswerSink& sink);

private:
    bool StartRead(std::uint32_t requestId, const protocol::halyxdll::StartReadSavegameReq& req,
                   AnswerSink& sink);
    void StopRead(const protocol::halyxdll::StopReadSavegameReq& req);
    bool Read(std::uint32_t requestId, const protocol::halyxdll::ReadSavegameReq& req,
              AnswerSink& sink);
    bool StartWrite(std::uint32_t requestId, const protocol::halyxdll::StartWriteSavegameReq& req,
                    AnswerSink& sink);
    bool Write(std::uint32_t requestId, const protocol::halyxdll::WriteSavegameReq& req,
               AnswerSink& sink);
    bool StopWrite(std::uint32_t requestId, const protocol::halyxdll::StopWriteSavegameReq& req,
                   AnswerSink& sink);
    bool Remove(std::uint32_t requestId, const protocol::halyxdll::RemoveSavegameReq& req,
                AnswerSink& sink);
    bool List(std::uint32_t requestId, const protocol::halyxdll::ListSavegamesReq& req,
              AnswerSink& sink);
    bool ServerPipe(std::uint32_t requestId, const protocol::halyxdll::GetOsiReq& req,
                    AnswerSink& sink);
    bool LoginDetails(std::uint32_t requestId, AnswerSink& sink);

    // Log line prefix naming this client.
    std::string Who() const;

    const ClientId client_;
    const SessionServices& services_;
    std::map<SlotKey, std::unique_ptr<PendingSavegame>> writers_;  // slots this client writes
};

}  // namespace devlauncher
}  // namespace kx
