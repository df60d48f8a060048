#include "kx/testing/LauncherProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace kx {
namespace testing {

const int kStoppedExitCode = 0;

struct LauncherProcess::Impl {
    pid_t pid = -1;
    std::optional<int> exitCode;
};

std::unique_ptr<LauncherProcess> LauncherProcess::Start(const std::vector<std::string>& args,
                                                        const std::filesystem::path& stderrFile,
                                                        const std::string& program) {
    const std::filesystem::path path =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / program;
    std::vector<std::string> all = {path.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) {
        argv.push_back(&arg[0]);
    }
    argv.push_back(nullptr);
    const int err = ::open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Dies with the test program, even when a time-out kills that.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (err >= 0) {
            ::dup2(err, 1);
            ::dup2(err, 2);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (err >= 0) {
        ::close(err);
    }
    if (pid < 0) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->pid = pid;
    return std::make_unique<LauncherProcess>(std::move(impl));
}

LauncherProcess::LauncherProcess(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

LauncherProcess::~LauncherProcess() {
    Kill();
    WaitExit(std::chrono::seconds(10));
}

void LauncherProcess::Kill() {
    if (!impl_->exitCode) {
        ::kill(impl_->pid, SIGKILL);
    }
}

void LauncherProcess::Stop() {
    if (!impl_->exitCode) {
        ::kill(impl_->pid, SIGTERM);
    }
}

std::optional<int> LauncherProcess::WaitExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!impl_->exitCode) {
        int status = 0;
        const pid_t done = ::waitpid(impl_->pid, &status, WNOHANG);
        if (done == impl_->pid) {
            impl_->exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        } else if (done < 0 || std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    return impl_->exitCode;
}

}  // namespace testing
}  // namespace kx
