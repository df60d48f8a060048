// The commands that do not touch savegames: login details, server pipe, localized texts.

#include "kx/halyxclient/Commands.h"
#include "kx/halyxclient/ExitCodes.h"
#include "kx/halyxclient/ResultListeners.h"
#include "kx/halyxclient/ServerPipe.h"
#include "kx/halyxclient/Utf16.h"

namespace kx {
namespace halyxclient {

namespace {

// What stands for a secret that is not shown; the same for every secret, so that not even its
// length shows.
constexpr const char* kMasked = "******** (--show-secrets shows it)";

}  // namespace

int RunLogin(GameLoop& loop, std::uint32_t productId, bool showSecrets) {
    if (const int code = loop.Connect(productId)) {
        return code;
    }
    LoginListener listener;
    KxHalyxdllGetLoginDetails(loop.Session(), KxHalyxdllGetRequestUniqueId(loop.Session()),
                              &listener);
    if (!loop.PumpUntil([&] { return listener.done; })) {
        return kExitFailed;
    }
    loop.Out() << "user name: " << listener.user
               << "\npassword:  " << (showSecrets ? listener.password : kMasked)
               << "\nCD key:    " << (showSecrets ? listener.key : kMasked) << "\n";
    return kExitOk;
}

int RunServer(GameLoop& loop, std::uint32_t productId, std::uint32_t subProductId) {
    ServerListener listener;
    KxHalyxdllGetHalyxServer(loop.Session(), KxHalyxdllGetRequestUniqueId(loop.Session()),
                             &listener, productId, subProductId);
    if (listener.done) {
        loop.Err() << "error: the launcher is not running (its pipe cannot be opened)\n";
        return kExitNoLauncher;
    }
    if (!loop.PumpUntil([&] { return listener.done; })) {
        return kExitFailed;
    }
    if (!IsOpenPipe(listener.pipe)) {
        loop.Err() << "error: the launcher has no server pipe for product " << productId << "\n";
        return kExitNotFound;
    }
    const std::string line = "hello from halyx_client\n";
    const std::string answer = SendAndReceive(listener.pipe, line, std::chrono::seconds(5));
    ClosePipe(listener.pipe);
    loop.Out() << "server pipe of product " << productId << " opened; sent " << line.size()
               << " bytes, " << answer.size() << " came back"
               << (answer == line ? " unchanged" : "") << "\n";
    return answer == line ? kExitOk : kExitFailed;
}

int RunLoc(GameLoop& loop, const std::string& language, const std::string& key) {
    const Utf16Text wideKey = Utf8ToUtf16(key);
    const std::string text =
        Utf16ToUtf8(KxHalyxdllGetLocText(loop.Session(), wideKey.data(), language.c_str()));
    if (text.empty()) {
        loop.Err() << "error: no text for '" << key << "' in language '" << language
                   << "' (is the launcher's InstallDir registered?)\n";
        return kExitNotFound;
    }
    loop.Out() << text << "\n";
    return kExitOk;
}

}  // namespace halyxclient
}  // namespace kx
