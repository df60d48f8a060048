#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kx {
namespace testing {

// The exit code of a launcher ended by LauncherProcess::Stop: 0 on POSIX, where it stops in
// order; on Windows the code TerminateProcess gives it.
extern const int kStoppedExitCode;

// A process of one of the build's programs (halyx_devlauncher unless named otherwise), started
// from the build's program directory (beside the test program), with its output going to a
// file. Killed when the object goes away (on POSIX also when the test program dies).
class LauncherProcess {
public:
    struct Impl;

    // Starts the program `program` (its name without a platform suffix) with `args`. Null when
    // it cannot be started.
    static std::unique_ptr<LauncherProcess> Start(const std::vector<std::string>& args,
                                                  const std::filesystem::path& stderrFile,
                                                  const std::string& program = "halyx_devlauncher");

    explicit LauncherProcess(std::unique_ptr<Impl> impl);
    ~LauncherProcess();
    LauncherProcess(const LauncherProcess&) = delete;
    LauncherProcess& operator=(const LauncherProcess&) = delete;

    // Ends the process at once, as a crash would (SIGKILL, TerminateProcess).
    void Kill();

    // Asks the process to stop the way a user does (SIGTERM on POSIX; on Windows, where a
    // console event cannot be aimed at one child, the same as Kill).
    void Stop();

    // Waits for the process to end and returns its exit code, or nothing on time-out.
    std::optional<int> WaitExit(std::chrono::milliseconds timeout);

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace testing
}  // namespace kx
