#pragma once

#include <cstdint>
#include <string>

namespace kx {
namespace bench {

// The benchmark peer running as a second process, serving the launcher's pipe and the raw pipe
// (see PeerContract.h). POSIX: both processes first get a pipe namespace of their own:
// XDG_RUNTIME_DIR points at a fresh private directory, removed again at the end, so no
// launcher outside the benchmark answers. The peer runs until its standard input ends, which
// also happens when this process dies. Game thread only.
class PeerProcess {
public:
    // Starts `program` for the launcher's pipe `launcherPipeName`, with the launcher behaviour
    // `behaviour` when not empty (see the peer's usage), and waits up to ten seconds until it
    // serves; IsServing tells whether it does.
    PeerProcess(const std::string& program, const std::string& launcherPipeName,
                const std::string& behaviour = std::string());
    // Ends the peer, as End does.
    ~PeerProcess();
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    bool IsServing() const { return serving_; }

    // Ends the peer now (closing its input; killing it when it has not gone after five
    // seconds) and removes the pipe namespace; its pipes break. May be called from another
    // thread while the game's thread is inside the library, but by one thread only.
    void End();

    // The path of program `name` in this program's directory (".exe" added on Windows).
    static std::string ProgramBesideThisOne(const std::string& name);

private:
    // Platform part: starting and ending the process.
    bool Start(const std::string& program, const std::string& launcherPipeName,
               const std::string& behaviour);
    void Stop();
    // Connects to the raw pipe until it answers or the time is up.
    bool WaitServing();

    bool serving_ = false;
    // POSIX: the namespace directory, the peer's process id and the write end of its input.
    // Windows: the process handle and the write end of its input.
    std::string namespace_;
    intptr_t process_ = -1;
    intptr_t input_ = -1;
};

}  // namespace bench
}  // namespace kx
