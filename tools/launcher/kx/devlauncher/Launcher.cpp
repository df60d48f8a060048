#include "kx/devlauncher/Launcher.h"

#include <vector>

#include "kx/devlauncher/AnswerChannel.h"
#include "kx/devlauncher/EchoService.h"
#include "kx/devlauncher/Frame.h"
#include "kx/devlauncher/LocalizationFiles.h"
#include "kx/devlauncher/MessageText.h"

namespace kx {
namespace devlauncher {

namespace pb = protocol::halyxdll;

namespace {

Launcher::StartResult OpenPipe(PipeServer& server, const std::string& name, std::string* error) {
    std::string reason;
    switch (server.Open(name, &reason)) {
        case PipeServer::OpenResult::kOpened:
            return Launcher::StartResult::kStarted;
        case PipeServer::OpenResult::kAlreadyServed:
            *error = "the pipe " + server.Location() + " is already served by another launcher";
            return Launcher::StartResult::kAlreadyServed;
        case PipeServer::OpenResult::kFailed:
            break;
    }
    *error = reason;
    return Launcher::StartResult::kFailed;
}

}  // namespace

Launcher::Launcher(LauncherSettings settings, EventLog& log)
    : settings_(std::move(settings)),
      log_(log),
      store_(settings_.dataDir, settings_.pipeName),
      services_{store_,
                locks_,
                settings_.config,
                {},
                settings_.partSize,
                log_,
                settings_.maxWritersPerClient} {
    for (std::uint32_t product : settings_.config.products) {
        services_.serverPipes[product] = ServerPipeName(settings_.pipeName, product);
    }
}

Launcher::~Launcher() {
    Stop();
}

Launcher::StartResult Launcher::Start(std::string* error) {
    std::string problem;
    if (!WriteLocalizationFiles(settings_.installDir, &problem)) {
        log_.Line("warning: " + problem + "; games will find no localized texts");
    }
    launcherPipe_ = std::make_unique<PipeServer>();
    StartResult result = OpenPipe(*launcherPipe_, settings_.pipeName, error);
    for (const auto& product : services_.serverPipes) {
        if (result != StartResult::kStarted) {
            break;
        }
        serverPipes_.push_back(std::make_unique<PipeServer>());
        result = OpenPipe(*serverPipes_.back(), product.second, error);
    }
    // Only once the pipe name is this launcher's are the temporary files of that name left by a
    // dead launcher; a launcher that finds the name served must not touch its owner's files.
    if (result == StartResult::kStarted && !store_.Prepare(error)) {
        result = StartResult::kFailed;
    }
    if (result != StartResult::kStarted) {
        serverPipes_.clear();
        launcherPipe_.reset();
        return result;
    }
    acceptThreads_.emplace_back([this] { AcceptLoop(*launcherPipe_, false); });
    for (auto& server : serverPipes_) {
        acceptThreads_.emplace_back([this, &server] { AcceptLoop(*server, true); });
    }
    return StartResult::kStarted;
}

void Launcher::Stop() {
    if (launcherPipe_) {
        launcherPipe_->Stop();
    }
    for (auto& server : serverPipes_) {
        server->Stop();
    }
    for (std::thread& thread : acceptThreads_) {
        thread.join();
    }
    acceptThreads_.clear();
    connections_.JoinAll();
    serverPipes_.clear();
    launcherPipe_.reset();
}

std::string Launcher::Location() const {
    return PipeLocation(settings_.pipeName);
}

bool Launcher::AdmitConnection() {
    if (openConnections_.fetch_add(1) < settings_.maxConnections) {
        return true;
    }
    openConnections_.fetch_sub(1);
    return false;
}

void Launcher::AcceptLoop(PipeServer& server, bool echo) {
    while (std::unique_ptr<PipeConnection> accepted = server.Accept()) {
        if (!AdmitConnection()) {
            log_.Line("refused a connection to " + server.Location() + ": " +
                      std::to_string(settings_.maxConnections) +
                      " connections are open, the most this launcher serves (--max-connections)");
            continue;  // closes it
        }
        // Shared, since a thread's work must be copyable; the thread holds the only reference.
        std::shared_ptr<PipeConnection> connection = std::move(accepted);
        if (echo) {
            connections_.Start([this, connection] {
                ServeEcho(*connection);
                openConnections_.fetch_sub(1);
            });
        } else {
            const ClientId client = ++nextClient_;
            connections_.Start([this, connection, client] {
                ServeClient(*connection, client);
                openConnections_.fetch_sub(1);
            });
        }
    }
}

void Launcher::ServeClient(PipeConnection& connection, ClientId client) {
    const std::string who = "[client " + std::to_string(client) + "] ";
    log_.Detail(who + "connected");
    // The session ends (discarding unfinished writes, releasing locks) before the caller closes
    // the connection, so a client that sees the close finds its slots free again.
    ClientSession session(client, services_);
    AnswerChannel channel(connection, settings_.faults, log_, who);
    FrameReader frames;
    std::vector<char> buffer(64 * 1024);
    std::string body;
    pb::Req req;
    while (!channel.Closing()) {
        const FrameReader::Status status = frames.Next(&body);
        if (status == FrameReader::Status::kNeedMore) {
            const std::size_t n = connection.Read(buffer.data(), buffer.size());
            if (n == 0) {
                log_.Detail(who + "disconnected");
                return;
            }
            frames.Append(buffer.data(), n);
            continue;
        }
        if (status == FrameReader::Status::kZeroLength) {
            log_.Line(who + "sent a frame of length 0; closing its connection");
            return;
        }
        if (status == FrameReader::Status::kTooLarge) {
            log_.Line(who + "announced a message above " + std::to_string(kMaxFrameBody) +
                      " bytes; closing its connection");
            return;
        }
        if (!req.ParseFromString(body)) {
            log_.Line(who + "sent a message that does not parse; closing its connection");
            return;
        }
        log_.Detail(who + "<- " + DescribeRequest(req));
        channel.BeginRequest(req);
        if (!session.Handle(req, channel)) {
            break;
        }
    }
    log_.Detail(who + "connection closed by the launcher");
}

}  // namespace devlauncher
}  // namespace kx
