#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LauncherWire.pb.h"
#include "kx/testing/Frame.h"
#include "kx/testing/PipeServer.h"

namespace kx {
namespace testing {

namespace wire = kx::test::launcherwire;

// A launcher for tests: serves the launcher's pipe in this process, records every request
// frame that its clients send, exactly as it arrived, and sends whatever bytes a test scripts.
// A background thread accepts clients and reads their bytes; the test thread waits for
// requests and sends answers. The newest client is the one answers go to.
class FakeLauncher {
public:
    // How long the waiting calls wait before they report failure.
    static constexpr int kWaitMilliseconds = 5000;

    FakeLauncher();
    ~FakeLauncher();
    FakeLauncher(const FakeLauncher&) = delete;
    FakeLauncher& operator=(const FakeLauncher&) = delete;

    // The next request in arrival order, parsed, and its frame (prefix and body) exactly as
    // received. False when none arrives in time or the frame does not parse.
    bool NextRequest(wire::Req* request, std::string* frame = nullptr);
    // Like NextRequest, but without waiting: false when no request is there yet.
    bool TryNextRequest(wire::Req* request, std::string* frame = nullptr);
    // True when no request arrives within `milliseconds`.
    bool NoRequestWithin(int milliseconds);

    // Writes `bytes` to the newest client in one write; false without a client.
    bool SendBytes(const std::string& bytes);
    bool Send(const wire::Rsp& answer) { return SendBytes(Frame(answer)); }

    // Clients accepted so far.
    int ClientCount();
    // Closes the launcher's end of the newest client.
    void DropClient();
    // Waits until the newest client has closed its end; false when it does not in time.
    bool WaitClientGone();

private:
    struct Client {
        std::unique_ptr<PipeEnd> end;
        std::string pending;  // bytes of an incomplete frame
        bool gone = false;
    };

    void Serve();
    // Takes the oldest frame (mutex held, one there) and parses it.
    bool TakeRequest(wire::Req* request, std::string* frame);
    void CutFrames(Client& client);

    PipeServer server_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::unique_ptr<Client>> clients_;
    std::deque<std::string> frames_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace testing
}  // namespace kx
