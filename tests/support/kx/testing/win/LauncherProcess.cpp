#include "kx/testing/LauncherProcess.h"

#include <windows.h>

namespace kx {
namespace testing {

const int kStoppedExitCode = 137;

struct LauncherProcess::Impl {
    HANDLE process = nullptr;
};

namespace {

// Quotes one argument for the command line the way the runtime's parser splits it again.
std::string Quote(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) {
        return arg;
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

}  // namespace

std::unique_ptr<LauncherProcess> LauncherProcess::Start(const std::vector<std::string>& args,
                                                        const std::filesystem::path& stderrFile,
                                                        const std::string& program) {
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::filesystem::path path =
        std::filesystem::path(self).parent_path() / (program + ".exe");
    std::string commandLine = Quote(path.string());
    for (const std::string& arg : args) {
        commandLine += " " + Quote(arg);
    }
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE err =
        ::CreateFileW(stderrFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      &inheritable, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    // The arguments are UTF-8: the wide call hands them over whole, where the narrow one
    // would pass them through the ANSI code page.
    std::wstring wideCommandLine(commandLine.size() + 1, L'\0');
    wideCommandLine.resize(static_cast<std::size_t>(
        ::MultiByteToWideChar(CP_UTF8, 0, commandLine.c_str(), -1, &wideCommandLine[0],
                              static_cast<int>(wideCommandLine.size())) -
        1));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = err;
    startup.hStdError = err;
    PROCESS_INFORMATION info{};
    const BOOL started = ::CreateProcessW(path.c_str(), &wideCommandLine[0], nullptr, nullptr, TRUE,
                                          0, nullptr, nullptr, &startup, &info);
    if (err != INVALID_HANDLE_VALUE) {
        ::CloseHandle(err);
    }
    if (!started) {
        return nullptr;
    }
    ::CloseHandle(info.hThread);
    auto impl = std::make_unique<Impl>();
    impl->process = info.hProcess;
    return std::make_unique<LauncherProcess>(std::move(impl));
}

LauncherProcess::LauncherProcess(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

LauncherProcess::~LauncherProcess() {
    Kill();
    WaitExit(std::chrono::seconds(10));
    ::CloseHandle(impl_->process);
}

void LauncherProcess::Kill() {
    if (::WaitForSingleObject(impl_->process, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(impl_->process, kStoppedExitCode);
    }
}

void LauncherProcess::Stop() {
    Kill();
}

std::optional<int> LauncherProcess::WaitExit(std::chrono::milliseconds timeout) {
    if (::WaitForSingleObject(impl_->process, static_cast<DWORD>(timeout.count())) !=
        WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(impl_->process, &code);
    return static_cast<int>(code);
}

}  // namespace testing
}  // namespace kx
